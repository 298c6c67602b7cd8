#include "cli/report.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/explain.h"

namespace kv::cli {
namespace {

// At most this many strings of a faulty section's list are shown in the text (a section stopped at its
// first entry still holds every name it had not examined yet).
constexpr std::size_t kListShown = 10;

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string PadRight(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? " " + text : std::string(width - text.size(), ' ') + text;
}

std::string MaskGroups(std::int32_t mask) {
  std::string names;
  for (std::uint32_t bit = 1; bit <= 64; bit <<= 1) {
    if ((static_cast<std::uint32_t>(mask) & bit) == 0) continue;
    if (!names.empty()) names += ", ";
    names += GroupName(bit);
  }
  return names.empty() ? "no section group" : names;
}

void AppendSections(const ProbeReport& report, std::string& out) {
  if (report.sections.empty()) {
    out += "No section was scanned.\n";
    return;
  }
  std::size_t nameWidth = 7, labelWidth = 14, groupWidth = 5;
  for (const SectionReport& section : report.sections) {
    nameWidth = std::max(nameWidth, section.name.size());
    labelWidth = std::max(labelWidth, SectionLabel(section.name).size());
    groupWidth = std::max(groupWidth, section.group.size());
  }
  out += "\n" + PadRight("Section", nameWidth + 2) + PadRight("What it checks", labelWidth + 2) +
         PadRight("Group", groupWidth + 2) + PadLeft("Items", 9) + PadLeft("ms", 11) + "  Verdict\n";
  long items = 0;
  for (const SectionReport& section : report.sections) {
    items += section.items;
    const bool stopped = report.cancelled && &section == &report.sections.back();
    const std::string verdict = stopped              ? "interrupted"
                                : section.count == 0 ? "clean"
                                                     : "list of " + std::to_string(section.count);
    out += PadRight(section.name, nameWidth + 2) + PadRight(SectionLabel(section.name), labelWidth + 2) +
           PadRight(section.group, groupWidth + 2) + PadLeft(std::to_string(section.items), 9) +
           PadLeft(Fixed(section.ms, 1), 11) + "  " + verdict + "\n";
  }
  out += std::to_string(report.sections.size()) + (report.sections.size() == 1 ? " section, " : " sections, ") +
         std::to_string(items) + " items, " + Fixed(report.ms, 1) + " ms\n";
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatText(const ProbeReport& report) {
  std::string out = "Probe of mask " + std::to_string(report.mask) + " (" + MaskGroups(report.mask) + ")\n";
  if (report.cancelled) {
    out += "Interrupted: the probe was cancelled before it ended (result -1).\n";
  } else if (report.Clean()) {
    out += "Clean: no invalid entry in the selected sections (result 0).\n";
  } else {
    const std::string label = SectionLabel(report.section);
    out += "Invalid entry found by " + report.section + (label.empty() ? "" : ": " + label) + " (\"" + report.group +
           "\"); the driver's result is " + std::to_string(report.result) + ".\n";
    const Explanation& why = report.explanation;
    if (!why.where.empty()) out += "  Where: " + Printable(why.where) + "\n";
    if (!why.value.empty())
      out += "  Value: " + Printable(why.value) + (why.type.empty() ? "" : ", " + why.type) + "\n";
    if (!why.data.empty()) out += "  Data:  " + Printable(why.data) + "\n";
    if (!why.rule.empty()) out += "  Rule:  " + why.rule + "\n";
    out += "  List of the section (" + std::to_string(report.list.size()) +
           (report.list.size() == 1 ? " string):\n" : " strings):\n");
    for (std::size_t i = 0; i < report.list.size() && i < kListShown; ++i)
      out += "    " + (report.list[i].empty() ? std::string("(empty string)") : Printable(report.list[i])) + "\n";
    if (report.list.size() > kListShown)
      out += "    ... and " + std::to_string(report.list.size() - kListShown) + " more\n";
  }
  AppendSections(report, out);
  return out;
}

std::string FormatJson(const ProbeReport& report, const ToUtf8& toUtf8) {
  using Json = nlohmann::ordered_json;
  const bool named = !report.section.empty();
  Json json;
  json["result"] = report.result;
  json["mask"] = report.mask;
  json["clean"] = report.Clean();
  json["cancelled"] = report.cancelled;
  json["section"] = named ? Json(report.section) : Json(nullptr);
  json["group"] = named ? Json(report.group) : Json(nullptr);
  Json list = Json::array();
  for (const std::string& text : report.list) list.push_back(toUtf8(text));
  json["list"] = list;
  if (named) {
    const Explanation& why = report.explanation;
    json["explanation"] = {{"where", toUtf8(why.where)},
                           {"value", toUtf8(why.value)},
                           {"type", why.type},
                           {"data", toUtf8(why.data)},
                           {"rule", why.rule}};
  } else {
    json["explanation"] = nullptr;
  }
  Json sections = Json::array();
  for (const SectionReport& section : report.sections) {
    sections.push_back({{"name", section.name},
                        {"label", SectionLabel(section.name)},
                        {"group", section.group},
                        {"count", section.count},
                        {"items", section.items},
                        {"ms", section.ms}});
  }
  json["sections"] = sections;
  json["ms"] = report.ms;
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kv::cli
