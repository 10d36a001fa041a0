// Small window helpers of the wizard: web addresses, point-sized fonts,
// the screen's DPI scale, and keeping an owner window disabled while
// something modal of ours runs. Centring is in WindowPlacement.h.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// Disables an owner window for the guard's lifetime, and enables it again
// only if the guard disabled it.
class OwnerDisableGuard {
 public:
  OwnerDisableGuard() = default;
  ~OwnerDisableGuard() { end(); }
  OwnerDisableGuard(const OwnerDisableGuard&) = delete;
  OwnerDisableGuard& operator=(const OwnerDisableGuard&) = delete;

  // A window that is not valid is replaced by the desktop window. The desktop
  // is never disabled; an already disabled window stays disabled and is not
  // enabled by end().
  void begin(HWND owner);
  // Enables the window again when begin() disabled it and it still exists.
  // Safe to repeat.
  void end();

  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
  bool reenable_ = false;
};

// Replaces each "&" by "%26" in place, left to right (the inserted text is
// not scanned again), and returns how many were replaced.
int escapeAmpersands(std::wstring& text);

// Opens a web address with the shell's "open" verb after escaping its
// ampersands, through the desktop's shell, as the user who runs the desktop
// (DesktopShell.h); this process never starts a browser itself. Where that
// shell cannot be asked, a message box owned by the guard's window names
// the (escaped) address for the user to open. Nothing happens while the
// guard holds no valid window. True when the desktop's shell accepted the
// request.
bool openUrl(const std::wstring& address, const OwnerDisableGuard& guard);

// A font from a description whose lfHeight is in tenths of a point, for the
// given device context or (null) the screen's: the height becomes the
// character height in that context's logical units (120 at 96 DPI: -16).
// Null when the font cannot be created; the caller owns the font (a
// GdiObject<HFONT> deletes it).
HFONT createPointFont(const LOGFONTW& description, HDC deviceContext = nullptr);

// The screen's vertical DPI divided by 96.
double dpiScale();

}  // namespace tonvane
