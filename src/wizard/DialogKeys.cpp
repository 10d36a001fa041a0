#include "DialogKeys.h"

#include "ResourceIds.h"
#include "SetupState.h"

namespace tonvane {

namespace {

bool isPushButton(HWND window) {
  const LRESULT code = SendMessageW(window, WM_GETDLGCODE, 0, 0);
  return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

}  // namespace

int defaultButtonFor(std::int32_t pageIndex) {
  switch (pageIndex) {
    case Offers:
      return IDC_FRAME_YES;
    case Complete:
      return IDC_FRAME_CLOSE;
    case ToolbarTerms:
    case PluginTerms:
      return IDC_FRAME_TERMS_OK;
    default:
      return IDC_FRAME_NEXT;
  }
}

void openPageAreaToKeyboard(HWND pageArea) {
  if (pageArea == nullptr) return;
  const LONG_PTR extended = GetWindowLongPtrW(pageArea, GWL_EXSTYLE);
  SetWindowLongPtrW(pageArea, GWL_EXSTYLE, extended | WS_EX_CONTROLPARENT);
}

void orderOffersPageForTab(HWND offersPage) {
  if (offersPage == nullptr) return;
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW;
  // Each button goes right behind its box in the order of the children,
  // which is the order Tab walks; nothing overlaps, so nothing is drawn
  // differently.
  SetWindowPos(GetDlgItem(offersPage, IDC_OFFERS_TOOLBAR_TERMS), GetDlgItem(offersPage, IDC_OFFERS_TOOLBAR), 0, 0, 0, 0,
               keep);
  SetWindowPos(GetDlgItem(offersPage, IDC_OFFERS_PLUGIN_TERMS), GetDlgItem(offersPage, IDC_OFFERS_PLUGIN), 0, 0, 0, 0,
               keep);
}

bool canHoldFocus(HWND window) {
  return window != nullptr && IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window);
}

HWND focusTargetFor(HWND page, HWND defaultButton) {
  if (canHoldFocus(page)) {
    HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
    if (first != nullptr && first != page && IsChild(page, first) && canHoldFocus(first) && !isPushButton(first))
      return first;
  }
  if (canHoldFocus(defaultButton)) return defaultButton;
  return canHoldFocus(page) ? page : nullptr;
}

void clearPageButtonDefaults(HWND page) {
  if (page == nullptr) return;
  for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0)
      SendMessageW(child, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
}

void moveDialogFocus(HWND dialog, HWND target) {
  if (dialog == nullptr || target == nullptr) return;
  // WM_NEXTDLGCTL rather than SetFocus: the dialog also moves the default
  // look from a button that had the focus back to the default button.
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
  const LONG_PTR style = GetWindowLongPtrW(target, GWL_STYLE);
  wchar_t className[16] = {};
  GetClassNameW(target, className, 16);
  if (lstrcmpiW(className, L"Edit") == 0 && (style & ES_MULTILINE) != 0) {
    // The dialog selects an edit's whole text when it gets the focus; a
    // text to read starts at its top with nothing selected.
    SendMessageW(target, EM_SETSEL, 0, 0);
    SendMessageW(target, EM_SCROLLCARET, 0, 0);
  }
}

}  // namespace tonvane
