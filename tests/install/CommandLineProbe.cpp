// Stands in for another program in the tests of runAndWait: writes the
// command line it was started with (UTF-16, no terminator) to the file named
// by the environment variable TONVANE_PROBE_OUTPUT, its current folder the
// same way to the file named by TONVANE_PROBE_FOLDER, and exits with 42.
#include <windows.h>

#include <cwchar>

namespace {

void report(const wchar_t* variable, const wchar_t* text) {
  wchar_t output[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(variable, output, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  HANDLE file = CreateFileW(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::wcslen(text) * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int wmain() {
  report(L"TONVANE_PROBE_OUTPUT", GetCommandLineW());
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  report(L"TONVANE_PROBE_FOLDER", folder);
  return 42;
}
