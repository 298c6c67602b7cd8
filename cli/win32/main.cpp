// kvscan.exe: one probe of this machine's registry, with the monitor's engine, explained.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "cli/kvscan.h"
#include "platform/win32/utf.h"
#include "platform/win32/win32_platform.h"
#include "scan/engine.h"

namespace {

kv::cli::Interrupter g_interrupter;

// Ctrl+C and Ctrl+Break: the probe ends at its next item and reports itself interrupted. The handler
// runs on a thread of its own, which Interrupt() allows.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupter.Interrupt();
  return TRUE;
}

bool IsConsole(DWORD stdHandle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stdHandle), &mode) != 0;
}

// UTF-8 text out: on a console through its wide output (whatever its code page), elsewhere (a file, a
// pipe) as the UTF-8 bytes.
void Write(FILE* stream, DWORD stdHandle, const std::string& text) {
  std::fflush(stream);
  if (IsConsole(stdHandle)) {
    const std::wstring wide = kv::Widen(text);
    const HANDLE console = GetStdHandle(stdHandle);
    for (std::size_t done = 0; done < wide.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
      DWORD written = 0;
      if (!WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) || written == 0) break;
      done += written;
    }
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// COM for this thread, as the monitor's scan thread has it (the startup-folder section reads shortcuts).
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace kv::cli;
  Console console;
  console.out = [](const std::string& text) { Write(stdout, STD_OUTPUT_HANDLE, text); };
  console.err = [](const std::string& text) { Write(stderr, STD_ERROR_HANDLE, text); };
  console.errIsConsole = IsConsole(STD_ERROR_HANDLE);

  const Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (int status = AnswerWithoutProbe(options, console); status >= 0) return status;

  ComApartment com;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // Loading the engine raises when the Windows version cannot be read; anything escaping the probe is
  // an error of this tool, not a verdict. Both end with the error status.
  try {
    kv::Engine& engine = kv::InstallEngine(std::make_unique<kv::Engine>(kv::Win32Platform()));
    const int status = ProbeAndReport(options, engine, g_interrupter, console, KeepUtf8);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    return status;
  } catch (const std::exception& error) {
    console.err(std::string("kvscan: ") + error.what() + "\n");
    return kExitError;
  }
}
