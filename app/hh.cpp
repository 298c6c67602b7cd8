#include "app/hh.h"

#include <shellapi.h>

#include "app/logic/html_help.h"
#include "platform/win32/utf.h"

namespace kv {
namespace {

constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC

template <typename Function>
Function Resolve(HMODULE library, const char* name) {
  // A library's exports come as generic procedures; each is called only through its own type.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

HtmlHelpEngine::HtmlHelpEngine(Platform& platform) {
  const std::string path = HtmlHelpEnginePath(platform);
  if (path.empty()) return;
  library_.reset(LoadLibraryW(Widen(path).c_str()));
  if (!library_) return;
  htmlHelpA_ = Resolve<HtmlHelpAFunction>(library_.get(), "HtmlHelpA");
  htmlHelpW_ = Resolve<HtmlHelpWFunction>(library_.get(), "HtmlHelpW");
}

bool HtmlHelpEngine::ShowTopic(HWND owner, const std::string& path) const {
  const std::wstring wide = Widen(path);
  if (Loaded() && htmlHelpW_ != nullptr) return htmlHelpW_(owner, wide.c_str(), kDisplayTopic, 0) != nullptr;
  if (Loaded() && htmlHelpA_ != nullptr) return htmlHelpA_(owner, path.c_str(), kDisplayTopic, 0) != nullptr;
  const HINSTANCE started = ShellExecuteW(owner, L"open", L"hh.exe", wide.c_str(), L"", SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace kv
