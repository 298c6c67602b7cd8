#include "bench/reg_writer.h"

#include <cstdio>

#include "platform/memory/memory_platform.h"
#include "platform/registry_api.h"

namespace kv::bench {
namespace {

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// hex(N):xx,xx,... with regedit's line continuations.
std::string Hex(int type, const std::string& bytes) {
  std::string out = "hex(" + std::to_string(type) + "):";
  std::size_t lineLength = out.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
    out += byte;
    lineLength += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      ++lineLength;
      if (lineLength > 74) {
        out += "\\\r\n  ";
        lineLength = 2;
      }
    }
  }
  return out;
}

// A value's data as the export writes it.
std::string Data(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (type == REG_DWORD_TYPE && data.size() == 4) {
    unsigned value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | data[static_cast<std::size_t>(i)];
    char dword[20];
    std::snprintf(dword, sizeof dword, "dword:%08x", value);
    return dword;
  }
  if (type != REG_SZ_TYPE && type != REG_EXPAND_SZ_TYPE && type != REG_MULTI_SZ_TYPE)
    return Hex(static_cast<int>(type), std::string(data.begin(), data.end()));
  const std::string text = Utf16LeToUtf8(data);  // NULs included
  if (type == REG_SZ_TYPE && !text.empty() && text.find('\0') == text.size() - 1)
    return Quote(text.substr(0, text.size() - 1));
  return Hex(static_cast<int>(type), text);
}

}  // namespace

RegFileWriter::RegFileWriter(std::ostream& reg, std::ostream& files) : reg_(reg), files_(files) {
  reg_ << "REGEDIT4\r\n";
  files_ << "# The files of a generated machine, one absolute path a line; a folder ends in a backslash.\n";
}

void RegFileWriter::Section(std::uint32_t root, const std::string& path) {
  const char* rootName = root == HKEY_LOCAL_MACHINE_CODE  ? "HKEY_LOCAL_MACHINE"
                         : root == HKEY_CURRENT_USER_CODE ? "HKEY_CURRENT_USER"
                                                          : "HKEY_CLASSES_ROOT";
  const std::string section = path.empty() ? std::string(rootName) : std::string(rootName) + "\\" + path;
  if (section == section_) return;
  section_ = section;
  reg_ << "\r\n[" << section << "]\r\n";
}

void RegFileWriter::CreateKey(std::uint32_t root, const std::string& path) { Section(root, path); }

void RegFileWriter::SetValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
  Section(root, path);
  reg_ << (name.empty() ? std::string("@") : Quote(name)) << "=" << Data(type, data) << "\r\n";
}

void RegFileWriter::AddFile(const std::string& path) { files_ << path << "\n"; }

void RegFileWriter::AddDirectory(const std::string& path) { files_ << path << "\\\n"; }

}  // namespace kv::bench
