// A stand-in msiexec.exe left beside the setup and in its current folder:
// when started, it leaves "msiexec.exe.marker" beside itself and exits with
// success without removing anything, so a test sees both that it ran and
// that the older release it was asked to remove is still there.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  const std::wstring marker = std::wstring(path, length) + L".marker";
  HANDLE file =
      CreateFileW(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const wchar_t* commandLine = GetCommandLineW();
    DWORD written = 0;
    WriteFile(file, commandLine, static_cast<DWORD>(wcslen(commandLine) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
  }
  return 0;
}
