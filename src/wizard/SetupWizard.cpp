#include "SetupWizard.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "AnsiText.h"
#include "DialogHost.h"
#include "DialogKeys.h"
#include "FolderPage.h"
#include "HeaderPainter.h"
#include "FilesInUseStep.h"
#include "InstallStep.h"
#include "LabelFit.h"
#include "PartnerOffers.h"
#include "Paths.h"
#include "ProductIdentity.h"
#include "Resources.h"
#include "SetupMessage.h"
#include "Shortcuts.h"
#include "TranslationTable.h"
#include "UiHelpers.h"
#include "UninstallRegistration.h"
#include "WindowPlacement.h"

namespace tonvane {

namespace {

constexpr const wchar_t* kPressReleasePage = L"press_release.php?file_name=";

void showButton(HWND frame, int id, bool visible) {
  ShowWindow(GetDlgItem(frame, id), visible ? SW_SHOWNORMAL : SW_HIDE);
}

void enableButton(HWND frame, int id, bool enabled) { EnableWindow(GetDlgItem(frame, id), enabled ? TRUE : FALSE); }

void tick(HWND page, int id, bool ticked) { CheckDlgButton(page, id, ticked ? BST_CHECKED : BST_UNCHECKED); }

void setFrameIcons(HWND frame) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // LoadImage picks the best of the group's images for each size; icons
  // loaded without LR_SHARED stay with the frame for the process's life.
  HANDLE big = LoadImageW(instance, MAKEINTRESOURCEW(IDI_SETUP_ICON), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                          GetSystemMetrics(SM_CYICON), 0);
  SendMessageW(frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  HANDLE small = LoadImageW(instance, MAKEINTRESOURCEW(IDI_SETUP_ICON), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                            GetSystemMetrics(SM_CYSMICON), 0);
  SendMessageW(frame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

// The template has four default push buttons, of which the dialog manager
// remembers the last one created (OK, disabled outside the terms view):
// Enter did nothing. Set only on a page change, since a push button that
// has the focus is the one Enter presses until the focus leaves it.
void setDefaultButton(HWND frame, const SetupState& state, std::int32_t page, int defaultId) {
  SendMessageW(frame, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
  if (isPageIndex(page) && page < kPageDialogCount) clearPageButtonDefaults(state.pages[page].window);
}

// Not while a message box or the folder browser has the frame disabled,
// nor while the user is in another window: focusing a control activates
// its frame. A page shown meanwhile gets the focus the frame restores on
// its activation, moved only when that is a window no longer shown.
bool mayMoveFocus(HWND frame) { return IsWindowEnabled(frame) && GetActiveWindow() == frame; }

// Hiding a page hands its focus to its parent, the page area; disabling a
// button takes the focus from it.
bool focusMisplaced(HWND frame) {
  HWND focus = GetFocus();
  return focus == nullptr || focus == frame || focus == GetDlgItem(frame, IDC_FRAME_PAGE_AREA) ||
         !IsChild(frame, focus) || !canHoldFocus(focus);
}

// Where the focus goes on the page: the terms view or, where that cannot
// hold it, the default button; on another page the control the page offers.
HWND focusTarget(const SetupState& state, std::int32_t page, HWND defaultButton) {
  if (page == ToolbarTerms || page == PluginTerms)
    return canHoldFocus(state.termsView) ? state.termsView : defaultButton;
  return isPageIndex(page) ? focusTargetFor(state.pages[page].window, defaultButton) : nullptr;
}

}  // namespace

bool WizardPage::processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                      DWORD mapId) {
  if (mapId != 0) return false;
  switch (message) {
    case WM_INITDIALOG:
      // Translated before the controller sets its defaults, so that the
      // defaults land on translated controls.
      translateWindow(window);
      fitLabelsToText(window);
      result = TRUE;
      return true;
    case WM_COMMAND:
      return owner_.processWindowMessage(owner_.window(), message, wParam, lParam, result, 0);
    default:
      return false;
  }
}

SetupWizard::SetupWizard() {
  for (PageSlot& slot : state_.pages) slot.binding = std::make_unique<WizardPage>(*this);
}

bool SetupWizard::processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                       DWORD mapId) {
  if (mapId != 0) return false;
  switch (message) {
    case WM_INITDIALOG:
      state_.frameWindow = window;
      result = onInitDialog();
      return true;
    case WM_PAINT:
      paintHeader(window, state_);
      result = 0;
      return true;
    case WM_DESTROY:
      onDestroy();
      result = 0;
      return true;
    case WM_COMMAND:
      result = 0;
      return onCommand(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
    default:
      return false;
  }
}

bool SetupWizard::onCommand(int id, HWND sender) {
  // The job runs on its own thread while this one answers messages: a click
  // queued before the buttons were disabled must not move or end the
  // wizard. Cancel alone is heard: it asks, and the job undoes its work.
  if (state_.installing) {
    if (id == IDC_FRAME_CANCEL) onCancel();
    return true;
  }
  switch (id) {
    case IDC_FRAME_NEXT:
      onNext();
      return true;
    case IDC_FRAME_BACK:
      onBack();
      return true;
    case IDC_FRAME_YES:
      onYes();
      return true;
    case IDC_FRAME_NO:
      onNo();
      return true;
    case IDC_FRAME_CLOSE:
      onClose();
      return true;
    case IDC_FRAME_CANCEL:
      onCancel();
      return true;
    case IDC_FOLDER_BROWSE:
      onBrowse(state_, sender);
      return true;
    case IDC_FOLDER_PORTABLE:
      onPortableToggled(state_.pages[Folder].window, proposedInstallFolder(state_.earlier));
      return true;
    case IDC_OFFERS_TOOLBAR_TERMS:
      onTerms(ToolbarTerms, IDR_TOOLBAR_TERMS);
      return true;
    case IDC_OFFERS_PLUGIN_TERMS:
      onTerms(PluginTerms, IDR_PLUGIN_TERMS);
      return true;
    case IDC_FRAME_TERMS_OK:
      onTermsOk();
      return true;
    default:
      return false;
  }
}

bool SetupWizard::preTranslateMessage(MSG& message) {
  HWND frame = window();
  if (frame == nullptr) return false;
  if (message.message == WM_KEYDOWN && message.hwnd != nullptr && message.hwnd == state_.termsView &&
      (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE || message.wParam == VK_TAB)) {
    // The terms view is a multi-line edit control whose parent is the page
    // area, not a dialog: it would hand Enter, Escape and Tab to that static
    // control, which drops them. They are the frame's keys, as anywhere else.
    MSG forFrame = message;
    forFrame.hwnd = frame;
    return IsDialogMessageW(frame, &forFrame) != FALSE;
  }
  return IsDialogMessageW(frame, &message) != FALSE;
}

BOOL SetupWizard::onInitDialog() {
  HWND frame = state_.frameWindow;
  centerOnWorkArea(frame);
  setFrameIcons(frame);
  if (MessageLoop* loop = currentMessageLoop()) {
    loop->addMessageFilter(this);
    loop->addIdleHandler(this);
  }
  openPageAreaToKeyboard(GetDlgItem(frame, IDC_FRAME_PAGE_AREA));
  refreshPages();
  state_.offers.startStaging();
  // The frame is still hidden: the user sees nothing until the older
  // releases are gone.
  uninstallPreviousVersions();
  // Before the folder page is made, which proposes the earlier install's
  // folder.
  state_.earlier = findEarlierInstall();
  translateWindow(frame);
  fitLabelsToText(frame);
  scaleHeaderPicture(frame, dpiScale());
  return TRUE;
}

void SetupWizard::onDestroy() {
  if (MessageLoop* loop = currentMessageLoop()) {
    loop->removeMessageFilter(this);
    loop->removeIdleHandler(this);
  }
}

void SetupWizard::createPage(PageIndex page) {
  HWND pageArea = GetDlgItem(state_.frameWindow, IDC_FRAME_PAGE_AREA);
  if (page == ToolbarTerms || page == PluginTerms) {
    state_.termsView = createTermsView(pageArea, state_.frameWindow);
    // Reached by Tab from the OK button, so that the text can be scrolled
    // with the keyboard after the focus has left it.
    if (state_.termsView != nullptr)
      SetWindowLongPtrW(state_.termsView, GWL_STYLE, GetWindowLongPtrW(state_.termsView, GWL_STYLE) | WS_TABSTOP);
    return;
  }
  PageSlot& slot = state_.pages[page];
  slot.window = createPageDialog(*slot.binding, pageTemplateId(page), pageArea);
  // A page that could not be made stays empty; the next visit tries again.
  if (slot.window == nullptr) return;
  applyPageDefaults(page, slot.window);
  if (page == Offers) orderOffersPageForTab(slot.window);
}

void SetupWizard::applyPageDefaults(PageIndex page, HWND window) {
  switch (page) {
    case Folder:
      applyFolderPageDefaults(window, proposedInstallFolder(state_.earlier));
      break;
    case Shortcuts:
      tick(window, IDC_SHORTCUTS_START_MENU, !state_.portable);
      tick(window, IDC_SHORTCUTS_DESKTOP, !state_.portable);
      break;
    case Offers:
      // A product already on the machine is not offered again.
      tick(window, IDC_OFFERS_TOOLBAR, !detectToolbar());
      EnableWindow(GetDlgItem(window, IDC_OFFERS_TOOLBAR), !detectToolbar());
      tick(window, IDC_OFFERS_PLUGIN, !detectPlugin());
      EnableWindow(GetDlgItem(window, IDC_OFFERS_PLUGIN), !detectPlugin());
      break;
    case Complete:
      tick(window, IDC_COMPLETE_PRESS_RELEASE, true);
      break;
    default:
      break;
  }
}

void SetupWizard::refreshPages() {
  const std::int32_t current = state_.pageIndex;
  if (isPageIndex(current)) {
    const bool terms = current == ToolbarTerms || current == PluginTerms;
    HWND existing = terms ? state_.termsView : state_.pages[current].window;
    if (existing == nullptr || !IsWindow(existing)) createPage(static_cast<PageIndex>(current));
  }
  for (int page = 0; page < kPageDialogCount; ++page) {
    HWND window = state_.pages[page].window;
    if (window != nullptr && IsWindow(window)) ShowWindow(window, page == current ? SW_SHOW : SW_HIDE);
  }
  if (state_.termsView != nullptr && IsWindow(state_.termsView))
    ShowWindow(state_.termsView, current == ToolbarTerms || current == PluginTerms ? SW_SHOW : SW_HIDE);
}

void SetupWizard::refreshAndRepaint() {
  refreshPages();
  InvalidateRect(state_.frameWindow, nullptr, TRUE);
}

void SetupWizard::updateButtons() {
  HWND frame = state_.frameWindow;
  if (frame == nullptr || !IsWindow(frame)) return;
  const std::int32_t p = state_.pageIndex;
  const bool terms = p == ToolbarTerms || p == PluginTerms;
  showButton(frame, IDC_FRAME_NEXT, p < Offers);
  enableButton(frame, IDC_FRAME_NEXT, p < Progress);
  showButton(frame, IDC_FRAME_BACK, p != Offers && p <= Complete);
  enableButton(frame, IDC_FRAME_BACK, p >= Folder && p <= Shortcuts);
  showButton(frame, IDC_FRAME_YES, p == Offers);
  showButton(frame, IDC_FRAME_NO, p == Offers);
  showButton(frame, IDC_FRAME_CLOSE, p == Complete);
  showButton(frame, IDC_FRAME_CANCEL, p <= Complete);
  // The job cannot be stopped halfway; what it has done stays either way.
  enableButton(frame, IDC_FRAME_CANCEL, p < Offers);
  showButton(frame, IDC_FRAME_TERMS_OK, terms);
  enableButton(frame, IDC_FRAME_TERMS_OK, terms);
}

void SetupWizard::settleKeyboard() {
  HWND frame = state_.frameWindow;
  if (frame == nullptr || !IsWindow(frame)) return;
  const std::int32_t p = state_.pageIndex;
  const bool pageChanged = p != keyboardPage_;
  keyboardPage_ = p;
  const int defaultId = defaultButtonFor(p);
  if (pageChanged) setDefaultButton(frame, state_, p, defaultId);
  if (!mayMoveFocus(frame) || (!pageChanged && !focusMisplaced(frame))) return;
  HWND target = focusTarget(state_, p, GetDlgItem(frame, defaultId));
  if (target != nullptr && canHoldFocus(target)) moveDialogFocus(frame, target);
}

void SetupWizard::endWizard(ExitCode exitCode) {
  DestroyWindow(state_.frameWindow);
  state_.frameWindow = nullptr;
  PostQuitMessage(static_cast<int>(exitCode));
}

bool SetupWizard::isChecked(PageIndex page, int control) const {
  HWND window = state_.pages[page].window;
  return window != nullptr && IsDlgButtonChecked(window, control) == BST_CHECKED;
}

void SetupWizard::onNext() {
  if (state_.pageIndex == Folder) {
    if (!folderPageLeaveCheck(state_, state_.pages[Folder].window)) return;
  } else if (state_.pageIndex == Shortcuts) {
    state_.startMenuShortcut = isChecked(Shortcuts, IDC_SHORTCUTS_START_MENU);
    state_.desktopShortcut = isChecked(Shortcuts, IDC_SHORTCUTS_DESKTOP);
    state_.sendToShortcut = isChecked(Shortcuts, IDC_SHORTCUTS_SEND_TO);
    if (!freeFilesInUse(state_)) {
      endWizard(ExitCode::WizardCancelled);
      return;
    }
    state_.pageIndex = Progress;
    state_.installing = true;
    refreshAndRepaint();
    updateButtons();
    if (runInstallJob(state_) != InstallResult::Installed) {
      endWizard(ExitCode::WizardCancelled);
      return;
    }
    if (detectToolbar() && detectPlugin()) state_.pageIndex += 1;
  }
  state_.pageIndex = std::min<std::int32_t>(state_.pageIndex + 1, Complete);
  refreshAndRepaint();
}

void SetupWizard::onBack() {
  state_.pageIndex -= 1;
  refreshAndRepaint();
}

void SetupWizard::onYes() {
  state_.installToolbar = isChecked(Offers, IDC_OFFERS_TOOLBAR);
  state_.installPlugin = isChecked(Offers, IDC_OFFERS_PLUGIN);
  launchAcceptedOffers(state_.offers, state_.installToolbar, state_.installPlugin);
  state_.pageIndex = Complete;
  refreshAndRepaint();
}

void SetupWizard::onNo() {
  state_.pageIndex = Complete;
  refreshAndRepaint();
}

void SetupWizard::onTerms(PageIndex page, unsigned textResource) {
  state_.pageIndex = page;
  refreshPages();
  // The partners' own texts, never translated, Shift-JIS as supplied.
  const ResourceBytes bytes = loadResource(ResourceId::kText, textResource);
  const std::wstring text = decodeShiftJisText(bytes.data, bytes.size);
  if (state_.termsView != nullptr) SetWindowTextW(state_.termsView, text.c_str());
  InvalidateRect(state_.frameWindow, nullptr, TRUE);
}

void SetupWizard::onTermsOk() {
  state_.pageIndex = Offers;
  refreshAndRepaint();
}

void SetupWizard::onCancel() {
  const bool confirmed =
      showSetupMessage(state_.frameWindow, translateText(L"Are you sure you want to exit the setup?"), MB_OKCANCEL) ==
      IDOK;
  if (!confirmed) return;
  // The job is told and stops at its next step, undoes what it did, and
  // the wizard ends once it has (onNext). A job that ended while the
  // question was open went through: nothing is left to cancel.
  if (state_.installing) {
    InterlockedExchange(&state_.cancelInstall, 1);
    return;
  }
  endWizard(ExitCode::WizardCancelled);
}

void SetupWizard::onClose() {
  HWND complete = state_.pages[Complete].window;
  if (complete != nullptr && IsWindow(complete) &&
      IsDlgButtonChecked(complete, IDC_COMPLETE_PRESS_RELEASE) == BST_CHECKED) {
    const std::wstring address = vendorSite() + kPressReleasePage + partsFileNameLower(splitPath(L""));
    // The frame owns the box that names the page where it cannot be
    // opened, and takes no second Close meanwhile.
    OwnerDisableGuard guard;
    guard.begin(state_.frameWindow);
    openUrl(address, guard);
    guard.end();
  }
  endWizard(ExitCode::WizardClosed);
}

ExitCode runWizard(int showCommand) {
  const DWORD thread = GetCurrentThreadId();
  MessageLoop loop;
  LoopRegistry* registry = loopRegistry();
  if (registry != nullptr) registry->add(thread, &loop);

  ExitCode result = ExitCode::WizardNotShown;
  std::unique_ptr<SetupWizard> wizard(new (std::nothrow) SetupWizard);
  if (wizard == nullptr) {
    SetLastError(ERROR_OUTOFMEMORY);
  } else if (HWND frame = createBoundDialog(*wizard, IDD_FRAME, nullptr, 0)) {
    ShowWindow(frame, showCommand);
    // The quit message carries what endWizard was given.
    result = static_cast<ExitCode>(loop.run());
  }
  if (registry != nullptr) registry->remove(thread);
  // Teardown: the staged offers go and the offer worker is waited for.
  wizard.reset();
  return result;
}

}  // namespace tonvane
