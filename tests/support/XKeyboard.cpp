#include "XKeyboard.h"

#include <windows.h>

#include <cstdlib>

#include "TestFiles.h"

namespace tonvane::test {

namespace {

// Longer than any xdotool run here takes, also on a busy machine.
constexpr DWORD kRunLimit = 30000;

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
  lastExitCode_ = runUnixShell("DISPLAY='" + display_ + "' timeout 25 xdotool " + xdotoolArguments, kRunLimit);
  return lastExitCode_ == 0;
}

}  // namespace tonvane::test
