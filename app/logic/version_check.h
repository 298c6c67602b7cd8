// Which Windows versions the monitor runs on, and what it says on the others.
#pragma once

#include "platform/system_api.h"

namespace kv {

constexpr const char kUnsupportedVersionMessage[] = "Sorry, Keyvane Pro cannot run\r\nunder this version of Windows.";
constexpr const char kSystemRequirementsTopic[] = "1-02-sysreq.html";
constexpr const char kSystemRequirementsLink[] = "Help: System Requirements";

// Windows 98 and later of the 9x family, Windows 2000 and later of the NT family, and any platform of
// another family.
bool IsSupportedWindows(const OsVersion& version);

}  // namespace kv
