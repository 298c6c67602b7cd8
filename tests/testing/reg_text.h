// Registry files as regedit writes them, built from UTF-8 text in a test: lines end in CR LF, and the
// text is encoded as a "Windows Registry Editor Version 5.00" file usually is (UTF-16LE with a
// byte-order mark) or as an 8-bit REGEDIT4 file (Windows-1252).
#pragma once

#include <string>

namespace kv {
namespace test {

std::string RegFileUtf16(const std::string& utf8Text);
std::string RegFileAnsi(const std::string& utf8Text);

}  // namespace test
}  // namespace kv
