// What kvscan --offline adds to its report: that the machine was read offline, from which folders and
// hives, for which user; the hives that were not closed cleanly; and what could not be checked from here.
#pragma once

#include <string>

#include "platform/offline/offline_platform.h"

namespace kv::cli {

// The report's text (or JSON object, when `json`) with the offline part added.
std::string AddOfflineReport(const offline::OfflinePlatform& machine, const std::string& report, bool json);

}  // namespace kv::cli
