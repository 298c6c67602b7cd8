// A library planted beside a program under the name of a system library. When anything loads it, it
// appends the loading program's path and its own to the file named by KV_PLANTED_MARKER, and does nothing
// else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH] = {};
  if (GetEnvironmentVariableA("KV_PLANTED_MARKER", marker, MAX_PATH) == 0) return TRUE;
  char program[MAX_PATH] = {};
  char library[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  GetModuleFileNameA(self, library, MAX_PATH);
  HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written = 0;
  WriteFile(file, program, lstrlenA(program), &written, nullptr);
  WriteFile(file, " loaded ", 8, &written, nullptr);
  WriteFile(file, library, lstrlenA(library), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
