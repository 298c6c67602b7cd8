// The monitor's entry point: refuses unsupported Windows versions, registers the two window messages that
// end it, makes sure one monitor runs per logged-on user, and runs the monitor form until the program ends.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/fm_main.h"
#include "app/hh.h"
#include "app/logic/version_check.h"
#include "app/ok_help_dlg.h"
#include "platform/win32/unique_handles.h"
#include "platform/win32/win32_platform.h"
#include "scan/engine.h"

namespace {

// Libraries loaded later by name come from the system folder only, never from the current folder. The
// program imports only libraries that the system always takes from its own folder; the common controls
// are imported late (at their first call, below), so that they and the theme library they load come after
// this.
void UseSafeLibrarySearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    // Present from Windows 7 with its update, and in every later Windows.
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  SetDllDirectoryW(L"");
}

// System libraries also load others late by bare name, on their own first need; under Wine those loads
// (delay-loaded imports) still search the program's folder first, whatever the search set above. The ones
// the monitor's windows bring in this way are loaded from the system folder now, so that the late loads
// find them already in place: the theme library, and the image-blending library it loads on its first
// alpha-blended drawing (the alert's themed buttons). They stay loaded for the life of the process.
void PreloadLateSystemLibraries() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  for (const wchar_t* name : {L"uxtheme.dll", L"msimg32.dll"}) {
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    // Their own imports are searched for beside them, in the system folder.
    LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

// False (after telling the user) on Windows 95 and NT 4 and before.
bool CheckWindowsVersion(kv::Platform& platform, kv::Tdlg_okhelp& dialog) {
  kv::OsVersion version;
  if (!platform.system.Version(&version)) version = kv::OsVersion{};  // unknown: any other family runs
  if (kv::IsSupportedWindows(version)) return true;
  dialog.ShowOkHelp(kv::kUnsupportedVersionMessage, kv::kSystemRequirementsTopic, kv::kSystemRequirementsLink, 0,
                    MB_ICONHAND);
  return false;
}

// Until the form is closed.
void RunMessageLoop(const kv::TfmMain& form) {
  MSG message;
  while (!form.ExitRequested()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  UseSafeLibrarySearch();
  PreloadLateSystemLibraries();

  // Shared state, set up once in this order: the help engine, then the scan engine (its lists and the
  // shared system information). Both live until the process ends.
  kv::Platform& platform = kv::Win32Platform();
  const kv::HtmlHelpEngine help(platform);
  kv::Engine& engine = kv::InstallEngine(std::make_unique<kv::Engine>(platform));

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  {
    kv::Tdlg_okhelp dialog(instance, nullptr, help);
    if (!CheckWindowsVersion(platform, dialog)) return 0;
  }

  const UINT mustDie = RegisterWindowMessageW(L"KVMustDie");
  const UINT monitoringDisable = RegisterWindowMessageW(L"KVMonitoringDisable");

  kv::win32::UniqueHandle single(CreateMutexW(nullptr, FALSE, L"KVMonitoring"));
  if (!single) return 0;
  const DWORD wait = WaitForSingleObject(single.get(), 200);
  if (wait != WAIT_OBJECT_0) {                               // another monitor runs (or the wait failed): end silently
    if (wait == WAIT_ABANDONED) ReleaseMutex(single.get());  // owned now, though not taken: give it back
    return 0;
  }

  bool scanOutlivedTheForm = false;
  {
    kv::TfmMain form(instance, engine, mustDie, monitoringDisable);
    if (form.Create()) RunMessageLoop(form);
    form.Destroy();
    scanOutlivedTheForm = form.ScanThreadAlive();
  }

  ReleaseMutex(single.get());
  single.reset();
  // A scan thread that outlived the form's waits may still be inside the engine. Returning would tear
  // down the program's static objects (the engine among them) under it; ExitProcess ends every other
  // thread first, before anything is torn down.
  if (scanOutlivedTheForm) ExitProcess(0);
  return 0;
}
