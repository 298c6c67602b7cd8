// The engine's section scanners, in the driver's scan order.
#pragma once

#include <vector>

#include "scan/cleaner.h"

namespace kv {

void AddStandardSections(Engine& engine, std::vector<TRegistryCleaner::Slot>& table);

}  // namespace kv
