#include "WindowPlacement.h"

namespace tonvane {

namespace {

// Start of the window's span along one axis: centred on the reference, then
// pulled back inside the limits, the near edge winning over the far one.
LONG centredStart(LONG referenceLow, LONG referenceHigh, LONG size, LONG limitLow, LONG limitHigh) {
  LONG start = (referenceLow + referenceHigh) / 2 - size / 2;
  if (start + size > limitHigh) start = limitHigh - size;
  if (start < limitLow) start = limitLow;
  return start;
}

}  // namespace

void centerOnWorkArea(HWND window) {
  RECT own = {};
  if (!GetWindowRect(window, &own)) return;
  RECT limits = {};
  RECT reference = {};
  if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
    GetClientRect(GetParent(window), &limits);
    reference = limits;
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &limits, 0);
    HWND owner = GetWindow(window, GW_OWNER);
    const LONG ownerStyle = owner != nullptr ? GetWindowLongW(owner, GWL_STYLE) : 0;
    if (owner != nullptr && (ownerStyle & WS_VISIBLE) && !(ownerStyle & WS_MINIMIZE))
      GetWindowRect(owner, &reference);
    else
      reference = limits;
  }
  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  const LONG x = centredStart(reference.left, reference.right, width, limits.left, limits.right);
  const LONG y = centredStart(reference.top, reference.bottom, height, limits.top, limits.bottom);
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tonvane
