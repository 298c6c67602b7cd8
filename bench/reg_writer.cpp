#include "bench/reg_sink.h"

#include <cstdio>

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

}  // namespace

RegFileSink::RegFileSink(std::ostream& reg, std::ostream& files) : reg_(reg), files_(files) {
  reg_ << "REGEDIT4\r\n";
  files_ << "# The files of a generated machine, one absolute path a line; a folder ends in a backslash.\n";
}

void RegFileSink::Section(std::uint32_t root, const std::string& path) {
  const char* rootName = root == HKEY_LOCAL_MACHINE_CODE  ? "HKEY_LOCAL_MACHINE"
                         : root == HKEY_CURRENT_USER_CODE ? "HKEY_CURRENT_USER"
                                                          : "HKEY_CLASSES_ROOT";
  const std::string section = path.empty() ? std::string(rootName) : std::string(rootName) + "\\" + path;
  if (section == section_) return;
  section_ = section;
  reg_ << "\r\n[" << section << "]\r\n";
}

void RegFileSink::Value(const std::string& name, const std::string& data) {
  reg_ << (name.empty() ? std::string("@") : Quote(name)) << "=" << data << "\r\n";
}

void RegFileSink::CreateKey(std::uint32_t root, const std::string& path) { Section(root, path); }

void RegFileSink::SetString(std::uint32_t root, const std::string& path, const std::string& name,
                            const std::string& text, bool expandable) {
  Section(root, path);
  Value(name, expandable ? Hex(2, text + '\0') : Quote(text));
}

void RegFileSink::SetDword(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t value) {
  Section(root, path);
  char data[20];
  std::snprintf(data, sizeof data, "dword:%08x", static_cast<unsigned>(value));
  Value(name, data);
}

void RegFileSink::SetMultiString(std::uint32_t root, const std::string& path, const std::string& name,
                                 const std::vector<std::string>& strings) {
  Section(root, path);
  std::string bytes;
  for (const std::string& s : strings) bytes += s + '\0';
  Value(name, Hex(7, bytes + '\0'));
}

void RegFileSink::AddFile(const std::string& path) { files_ << path << "\n"; }

void RegFileSink::AddFolder(const std::string& path) { files_ << path << "\\\n"; }

}  // namespace kv::bench
