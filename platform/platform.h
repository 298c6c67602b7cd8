// The three interfaces of the seam, bundled. Whoever builds a Platform keeps its parts alive.
#pragma once

#include "platform/file_system_api.h"
#include "platform/registry_api.h"
#include "platform/system_api.h"

namespace kv {

struct Platform {
  RegistryApi& registry;
  FileSystemApi& files;
  SystemApi& system;
};

}  // namespace kv
