#include "XKeyboard.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "TestFiles.h"

namespace tonvane::test {

namespace {

// Longer than any xdotool run here takes, also on a busy machine.
constexpr DWORD kRunLimit = 30000;

std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

XKeyboard::XKeyboard() {
  const char* display = std::getenv("TONVANE_KEYBOARD_DISPLAY");
  if (display != nullptr) display_ = display;
}

bool XKeyboard::focusWindow(const std::string& namePattern) {
  return run("search --sync --onlyvisible --name '" + namePattern + "' windowfocus --sync");
}

bool XKeyboard::press(const std::string& keys) { return run("key --delay 60 " + keys); }

bool XKeyboard::run(const std::string& xdotoolArguments) {
  lastExitCode_ = -1;
  if (display_.empty()) return false;
  const std::string marker = "/tmp/tonvane-keys-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++runs_);
  const std::wstring windowsMarker = winePathOfUnixPath(marker);
  DeleteFileW(windowsMarker.c_str());

  // The file appears complete or not at all: written beside, then renamed.
  const std::string script = "DISPLAY='" + display_ + "' timeout 25 xdotool " + xdotoolArguments +
                             "; echo $? >" + marker + ".part && mv " + marker + ".part " + marker;
  std::wstring commandLine = L"sh -c \"" + widen(script) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  // A Linux program comes back without usable handles.
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);

  const DWORD began = GetTickCount();
  while (GetFileAttributesW(windowsMarker.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - began > kRunLimit) return false;
    Sleep(20);
  }
  int code = -1;
  if (FILE* result = _wfopen(windowsMarker.c_str(), L"r")) {
    if (std::fscanf(result, "%d", &code) != 1) code = -1;
    std::fclose(result);
  }
  DeleteFileW(windowsMarker.c_str());
  lastExitCode_ = code;
  return code == 0;
}

}  // namespace tonvane::test
