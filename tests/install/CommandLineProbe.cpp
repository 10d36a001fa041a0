// Stands in for another program in the tests of runAndWait: writes the
// command line it was started with (UTF-16, no terminator) to the file named
// by the environment variable TONVANE_PROBE_OUTPUT, and exits with 42.
#include <windows.h>

#include <cwchar>

int wmain() {
  wchar_t output[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"TONVANE_PROBE_OUTPUT", output, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    HANDLE file = CreateFileW(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const wchar_t* line = GetCommandLineW();
      DWORD written = 0;
      WriteFile(file, line, static_cast<DWORD>(std::wcslen(line) * sizeof(wchar_t)), &written, nullptr);
      CloseHandle(file);
    }
  }
  return 42;
}
