#include "fuzz/fuzz_targets.h"

namespace kv::fuzz {

const std::vector<FuzzTarget>& AllTargets() {
  static const std::vector<FuzzTarget> targets = {
      {"reg_loader", FuzzRegLoader},
      {"extract_file", FuzzExtractFile},
      {"read_expanded", FuzzReadExpanded},
      {"nt_share", FuzzNtShare},
      {"icon_index", FuzzIconIndex},
      {"guid", FuzzGuid},
      {"probe", FuzzProbe},
      {"file_list", FuzzFileList},
      {"network_name", FuzzNetworkName},
#ifndef _WIN32
      {"hive", FuzzHive},
      {"shell_link", FuzzShellLink},
#endif
  };
  return targets;
}

}  // namespace kv::fuzz
