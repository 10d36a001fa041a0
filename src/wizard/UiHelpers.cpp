#include "UiHelpers.h"

#include <cstdlib>

#include "DesktopShell.h"
#include "ScopedHandles.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

namespace tonvane {

void OwnerDisableGuard::begin(HWND owner) {
  end();
  window_ = owner;
  reenable_ = false;
  if (window_ == nullptr || !IsWindow(window_)) {
    window_ = GetDesktopWindow();
    reenable_ = true;
  } else if (window_ == GetDesktopWindow()) {
    reenable_ = true;
  } else if (IsWindowEnabled(window_)) {
    EnableWindow(window_, FALSE);
    reenable_ = true;
  }
}

void OwnerDisableGuard::end() {
  if (window_ != nullptr && IsWindow(window_) && reenable_ && window_ != GetDesktopWindow())
    EnableWindow(window_, TRUE);
  reenable_ = false;
}

int escapeAmpersands(std::wstring& text) {
  int count = 0;
  for (std::size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at + 3)) {
    text.replace(at, 1, L"%26");
    ++count;
  }
  return count;
}

bool openUrl(const std::wstring& address, const OwnerDisableGuard& guard) {
  HWND owner = guard.window();
  if (owner == nullptr || !IsWindow(owner)) return false;
  std::wstring escaped = address;
  escapeAmpersands(escaped);
  // The page opens as the desktop's user (DesktopShell.h) or not at all:
  // this process runs as administrator, and its own shell call would run,
  // with those rights, whatever command the user's registry names for web
  // addresses. Where the desktop's shell cannot be asked (a thread without
  // COM, a desktop run by another shell) the user is told where the page is.
  if (SUCCEEDED(openAsDesktopUser(escaped))) return true;
  const std::wstring text =
      translateText(L"The web page could not be opened. Please open this address in your web browser:");
  showSetupMessage(owner, text + L"\r\n\r\n" + escaped, MB_OK | MB_ICONINFORMATION);
  return false;
}

HFONT createPointFont(const LOGFONTW& description, HDC deviceContext) {
  if (deviceContext == nullptr) {
    const ScreenContext screen;
    return screen.get() != nullptr ? createPointFont(description, screen.get()) : nullptr;
  }
  LOGFONTW font = description;
  POINT height = {0, MulDiv(GetDeviceCaps(deviceContext, LOGPIXELSY), description.lfHeight, 720)};
  POINT origin = {0, 0};
  DPtoLP(deviceContext, &height, 1);
  DPtoLP(deviceContext, &origin, 1);
  // Negative: a character height, not a cell height.
  font.lfHeight = -std::abs(height.y - origin.y);
  return CreateFontIndirectW(&font);
}

double dpiScale() {
  const ScreenContext screen;
  if (screen.get() == nullptr) return 1.0;
  return GetDeviceCaps(screen.get(), LOGPIXELSY) / 96.0;
}

}  // namespace tonvane
