// Key presses as a keyboard makes them: xdotool sends them through the X
// server (its XTEST extension) to the X window that has the focus, and Wine
// turns them into the key messages of the window that has the focus there.
// Used on a display of their own (TONVANE_KEYBOARD_DISPLAY, started by
// tests/harness/run) on which only the program under test shows windows, so
// that no other test's window can take the focus.
//
// xdotool is a Linux program: Wine starts it from a Windows path on its Z:
// drive, but gives back no process handle to wait on, so each run goes
// through a shell that writes xdotool's exit code into a file under /tmp
// when it is done.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane::test {

class XKeyboard {
 public:
  // The display named by TONVANE_KEYBOARD_DISPLAY ("" when it is not set).
  XKeyboard();

  const std::string& display() const { return display_; }
  bool available() const { return !display_.empty(); }

  // Gives the X focus to the visible top-level X window whose name matches
  // `namePattern` (an extended regular expression), as the user's click or
  // a window manager would; waits for the window first. False when it does
  // not appear in time or xdotool fails.
  bool focusWindow(const std::string& namePattern);

  // Waits until the X server has given the keyboard focus to the X window
  // of `window`, a top-level window of a Wine program on this display. A
  // window Wine has just shown gets the X focus only once Wine has read the
  // X server's notice that it is mapped, a moment after it is visible to
  // the Windows API. A key pressed before goes to the window that still has
  // the X focus, and Wine's later focus requests may then be refused (see
  // KeyboardTest.cpp). A user sees the window before typing into it; the
  // tests wait for this. False when it does not happen in ten seconds.
  bool waitForFocus(HWND window);

  // Presses the keys one after the other, each down and up (xdotool key
  // names: "Return", "Escape", "Tab", "shift+Tab", "space", "alt+n"), and
  // returns once xdotool has sent them; false when it failed or did not
  // end in time. What the keys do is for the caller to wait for.
  bool press(const std::string& keys);

  // The exit code of the last xdotool run, or -1 when none was read.
  int lastExitCode() const { return lastExitCode_; }

 private:
  bool run(const std::string& xdotoolArguments);

  std::string display_;
  int lastExitCode_ = -1;
};

}  // namespace tonvane::test
