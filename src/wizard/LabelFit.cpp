#include "LabelFit.h"

#include <algorithm>
#include <string>
#include <vector>

#include "LabelGeometry.h"
#include "ScopedHandles.h"

namespace tonvane {

namespace {

enum class LabelKind { None, Static, Box, PushButton };

LabelKind labelKind(HWND control) {
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (lstrcmpiW(className, L"Static") == 0) {
    // Pictures, frames, owner-drawn and single-line kinds are left alone;
    // ellipsis styles shorten on purpose.
    if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS)) return LabelKind::None;
    switch (style & SS_TYPEMASK) {
      case SS_LEFT:
      case SS_CENTER:
      case SS_RIGHT:
      case SS_LEFTNOWORDWRAP:
      case SS_SIMPLE:
        return LabelKind::Static;
      default:
        return LabelKind::None;
    }
  }
  if (lstrcmpiW(className, L"Button") == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return LabelKind::Box;
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        return LabelKind::PushButton;
      default:
        return LabelKind::None;
    }
  }
  return LabelKind::None;
}

bool staticWraps(LONG style) {
  const LONG type = style & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
}

LayoutBox boxOf(HWND control, HWND dialog) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// Pixels a control's text may not use: a check box's box and the gap after
// it; a push button's edges and the focus rectangle inside them. The box
// grows with the resolution faster than the system's menu check mark does.
int chromeOf(LabelKind kind, HDC context) {
  const int dpi = GetDeviceCaps(context, LOGPIXELSY);
  switch (kind) {
    case LabelKind::Box:
      return std::max(GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE), MulDiv(17, dpi, 96)) + 2;
    case LabelKind::PushButton:
      return MulDiv(12, dpi, 96);
    default:
      return 0;
  }
}

struct Label {
  HWND window;
  LabelKind kind;
  std::wstring text;
};

void fitLabel(HWND dialog, const Label& label, const std::vector<HWND>& children) {
  const LONG style = GetWindowLongW(label.window, GWL_STYLE);
  const WindowContext context(label.window);
  HDC dc = context.get();
  if (dc == nullptr) return;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(label.window, WM_GETFONT, 0, 0));
  const GdiSelection selected(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));

  UINT flags = DT_CALCRECT | DT_EXPANDTABS;
  if (label.kind == LabelKind::Static && (style & SS_NOPREFIX)) flags |= DT_NOPREFIX;
  const auto measure = [&](int width, bool wrap) {
    RECT area = {0, 0, width, 0};
    DrawTextW(dc, label.text.c_str(), static_cast<int>(label.text.size()), &area,
              flags | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    return area;
  };

  LabelText text;
  text.chrome = chromeOf(label.kind, dc);
  text.singleLineWidth = measure(0, false).right;
  if (label.kind == LabelKind::Static) {
    text.wrapsNow = staticWraps(style);
    text.mayWrap = text.wrapsNow;
  } else {
    text.wrapsNow = (style & BS_MULTILINE) != 0;
    text.mayWrap = true;
  }
  text.wrappedHeight = [&](int width) { return measure(width, true).bottom; };

  const LayoutBox own = boxOf(label.window, dialog);
  std::vector<LayoutBox> others;
  for (HWND child : children)
    if (child != label.window) others.push_back(boxOf(child, dialog));
  RECT client = {};
  GetClientRect(dialog, &client);
  const LabelFit fit = fitLabel(own, growthLimit(own, others, client.right), text);

  if (fit.wrap && !text.wrapsNow) SetWindowLongW(label.window, GWL_STYLE, style | BS_MULTILINE);
  if (fit.width != own.right - own.left || fit.wrap != text.wrapsNow)
    SetWindowPos(label.window, nullptr, 0, 0, fit.width, own.bottom - own.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

void fitLabelsToText(HWND dialog) {
  if (dialog == nullptr) return;
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  for (HWND child : children) {
    const LabelKind kind = labelKind(child);
    if (kind == LabelKind::None) continue;
    const int length = GetWindowTextLengthW(child);
    if (length <= 0) continue;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(child, &text[0], length + 1)));
    // Each label is measured against the others as they are by then, so
    // two labels never grow into each other.
    fitLabel(dialog, {child, kind, text}, children);
  }
}

}  // namespace tonvane
