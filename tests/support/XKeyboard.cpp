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

bool XKeyboard::waitForFocus(HWND window) {
  lastExitCode_ = -1;
  // Wine's X11 driver keeps each top-level window's X window id in this
  // property (dlls/winex11.drv/window.c).
  const auto xWindow = reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
  if (display_.empty() || xWindow == 0) return false;
  lastExitCode_ =
      runUnixShell("DISPLAY='" + display_ + "' timeout 10 sh -c 'until [ \"$(xdotool getwindowfocus 2>/dev/null)\" = " +
                       std::to_string(xWindow) + " ]; do sleep 0.02; done'",
                   kRunLimit);
  return lastExitCode_ == 0;
}

bool XKeyboard::press(const std::string& keys) { return run("key --delay 60 " + keys); }

bool XKeyboard::run(const std::string& xdotoolArguments) {
  lastExitCode_ = -1;
  if (display_.empty()) return false;
  lastExitCode_ = runUnixShell("DISPLAY='" + display_ + "' timeout 25 xdotool " + xdotoolArguments, kRunLimit);
  return lastExitCode_ == 0;
}

}  // namespace tonvane::test
