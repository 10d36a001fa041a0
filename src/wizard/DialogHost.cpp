#include "DialogHost.h"

namespace tonvane {

namespace {
// Child, visible, vertical scroll bar, multi-line.
constexpr DWORD kTermsViewStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE;
}  // namespace

HWND createPageDialog(DialogBinding& page, unsigned templateId, HWND parent) {
  return createBoundDialog(page, templateId, parent, 0);
}

HWND createTermsView(HWND pageArea, HWND frame) {
  RECT area = {};
  GetClientRect(pageArea, &area);
  HWND view = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", nullptr, kTermsViewStyle, 0, 0, area.right - area.left,
                              area.bottom - area.top, pageArea, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (view != nullptr) SendMessageW(view, WM_SETFONT, SendMessageW(frame, WM_GETFONT, 0, 0), TRUE);
  return view;
}

}  // namespace tonvane
