#include "app/logic/version_check.h"

namespace kv {

bool IsSupportedWindows(const OsVersion& version) {
  switch (version.platformId) {
    case kPlatformWin32Windows:  // 95 (4.0) and before are not supported
      return version.major > 4 || (version.major == 4 && version.minor > 0);
    case kPlatformWin32NT:  // NT 4 and before are not supported
      return version.major >= 5;
    default: return true;
  }
}

}  // namespace kv
