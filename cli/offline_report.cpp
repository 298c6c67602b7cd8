#include "cli/offline_report.h"

#include <nlohmann/json.hpp>

#include "cli/report.h"

namespace kv::cli {
namespace {

std::string Unchecked(const std::string& name) {
  if (name.size() == 2 && name[1] == ':')
    return name + " (names on this drive cannot be checked offline: it is not mapped; give --drive " +
           name.substr(0, 1) + "=DIR)";
  return name + " (cannot be checked offline: it lies on the network)";
}

}  // namespace

std::string AddOfflineReport(const offline::OfflinePlatform& machine, const std::string& report, bool json) {
  const std::vector<std::string> unchecked = machine.files.Unchecked();
  if (json) {
    using Json = nlohmann::ordered_json;
    Json object = Json::parse(report, nullptr, false);
    if (object.is_discarded()) return report;
    object["offline"] = true;
    object["dirty"] = machine.dirty();
    Json drives = Json::object();
    for (const auto& [letter, folder] : machine.drives()) drives[std::string(1, letter) + ":"] = folder;
    Json hives = Json::array();
    for (const offline::HiveUse& hive : machine.hives())
      hives.push_back(
          {{"hive", hive.role}, {"path", hive.path}, {"file", hive.hostPath}, {"dirty", hive.info.dirty()}});
    object["paths"] = {{"drives", drives},
                       {"user", machine.userName()},
                       {"sid", machine.userSid()},
                       {"profile", machine.profile()},
                       {"hives", hives}};
    object["warnings"] = machine.warnings();
    Json notChecked = Json::array();
    for (const std::string& name : unchecked) notChecked.push_back(Unchecked(name));
    object["unchecked"] = notChecked;
    return object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  std::string out = report;
  out += "\nOffline: the installation on " + machine.drives().at(machine.systemDrive()) + " (drive " +
         std::string(1, machine.systemDrive()) + ":), user " + machine.userName() + " (" + machine.userSid() + ")\n";
  for (const auto& [letter, folder] : machine.drives())
    if (letter != machine.systemDrive()) out += "  Drive " + std::string(1, letter) + ": " + folder + "\n";
  for (const offline::HiveUse& hive : machine.hives())
    out += "  Hive " + hive.role + ": " + Printable(hive.hostPath) +
           (hive.info.dirty() ? " (not closed cleanly)" : "") + "\n";
  for (const std::string& warning : machine.warnings()) out += "  Warning: " + Printable(warning) + "\n";
  for (const std::string& name : unchecked) out += "  Not checked: " + Printable(Unchecked(name)) + "\n";
  return out;
}

}  // namespace kv::cli
