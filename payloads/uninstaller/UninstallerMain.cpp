// The uninstaller of Tonvane Free, written into the install folder by the
// setup as TonvaneUninstaller.exe and started as its uninstall entry holds
// it: "...\TonvaneUninstaller.exe" /Uninstall. It asks once, removes the
// install (Uninstall.h) while a small window counts the files, reports once,
// and leaves its own file and the folder to a copy of itself that runs after
// it has ended (SelfRemoval.h). Its exit codes are the Uninstall... ones of
// ExitCode.h.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "DllSearch.h"
#include "ExitCode.h"
#include "MessageLoop.h"
#include "NumberText.h"
#include "Paths.h"
#include "ProductIdentity.h"
#include "ProgramStart.h"
#include "ResourceIds.h"
#include "ScopedHandles.h"
#include "SelfRemoval.h"
#include "SetupMessage.h"
#include "Shortcuts.h"
#include "TranslationTable.h"
#include "Uninstall.h"
#include "UninstallerOptions.h"
#include "WindowPlacement.h"

namespace {

using namespace tonvane;

// Names listed in the summary before the rest is only counted.
constexpr std::size_t kListedNames = 12;

int showMessage(HWND owner, const std::wstring& text, UINT flags) {
  return showTranslatedMessage(owner, text, kUninstallCaption, flags);
}

INT_PTR CALLBACK progressProcedure(HWND, UINT message, WPARAM, LPARAM) {
  // Nothing to answer: the removal cannot be stopped halfway, so the window
  // has no button and ignores its close box.
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The window that counts the files while they go. The removal runs on this
// thread: between two files the messages queued meanwhile go through the
// window's own loop, so it repaints and answers and never stands frozen.
class ProgressWindow : private MessageFilter {
 public:
  ProgressWindow() {
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNINSTALL_PROGRESS), nullptr,
                                 progressProcedure, 0);
    if (window_ == nullptr) return;
    SetWindowTextW(window_, translateText(kUninstallCaption).c_str());
    translateWindow(window_);
    centerOnWorkArea(window_);
    loop_.addMessageFilter(this);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    pumpPendingMessages(loop_, pump_);
  }
  ~ProgressWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void show(std::size_t done, std::size_t total) {
    if (window_ == nullptr) return;
    HWND bar = GetDlgItem(window_, IDC_UNINSTALL_PROGRESS_BAR);
    SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    const std::wstring count = decimalText(done) + L" / " + decimalText(total);
    SetDlgItemTextW(window_, IDC_UNINSTALL_PROGRESS_COUNT, count.c_str());
    pumpPendingMessages(loop_, pump_);
  }

 private:
  bool preTranslateMessage(MSG& message) override { return IsDialogMessageW(window_, &message) != FALSE; }

  HWND window_ = nullptr;
  MessageLoop loop_;
  PumpState pump_;
};

std::wstring nameList(const std::vector<std::wstring>& names) {
  std::wstring list;
  for (std::size_t i = 0; i < names.size() && i < kListedNames; ++i) list += L"\r\n" + names[i];
  if (names.size() > kListedNames)
    list += L"\r\n(" + decimalText(names.size() - kListedNames) + L" " + translateText(L"more") + L")";
  return list;
}

// `selfRemoval`: whether the copy that removes this program's file and the
// folder was started (never when anything else stayed).
std::wstring summary(const UninstallOutcome& outcome, bool selfRemoval, const std::wstring& folder) {
  if (outcome.logUnreadable)
    return translateText(
        L"Tonvane Free was not removed: the list of its files (install.log) is missing or "
        L"cannot be read.");
  std::wstring text = selfRemoval ? translateText(L"Tonvane Free was removed from your computer.")
                                  : translateText(L"Tonvane Free could not be removed completely.");
  if (!outcome.leftInPlace.empty()) {
    text += L"\r\n\r\n" +
            translateText(
                L"These files are in use or could not be deleted. Close the programs that use "
                L"them and run the uninstaller again:") +
            nameList(outcome.leftInPlace);
  }
  if (!outcome.outsideFolder.empty()) {
    text += L"\r\n\r\n" +
            translateText(
                L"These files are listed in install.log but lie outside the install folder; "
                L"they were left alone:") +
            nameList(outcome.outsideFolder);
  }
  if (outcome.everythingRemoved() && !selfRemoval) {
    text += L"\r\n\r\n" + translateText(L"The uninstaller's own file and this folder could not be removed:") + L"\r\n" +
            removeTrailingBackslash(folder);
  }
  return text;
}

// The help link's name as the setup gives it in either language; the
// Japanese one from this program's table whatever the interface is now.
std::vector<std::wstring> helpLinkNames() {
  return {kHelpLinkName, translationInResource(IDR_JAPANESE_TABLE, kHelpLinkName)};
}

ExitCode uninstall(const UninstallerOptions& options) {
  const StartupPlatform platform = systemStartupPlatform();
  if (!platform.isUserAnAdmin()) {
    if (!options.silent)
      showMessage(nullptr, translateText(L"Please start with administrator privileges."), MB_OK | MB_ICONSTOP);
    return ExitCode::UninstallNotDone;
  }
  if (!options.silent &&
      showMessage(nullptr, translateText(L"Do you want to remove Tonvane Free and all of its components?"),
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return ExitCode::UninstallNotDone;

  const ComInitialization com;
  const std::wstring folder = folderOfPath(L"");
  LinkFolders links = systemLinkFolders();
  links.helpLinkNames = helpLinkNames();
  UninstallOutcome outcome;
  if (options.silent) {
    outcome = removeInstallation(folder, links);
  } else {
    registerCommonControls(ICC_PROGRESS_CLASS);
    ProgressWindow window;
    outcome =
        removeInstallation(folder, links, [&window](std::size_t done, std::size_t total) { window.show(done, total); });
  }
  // Started before the summary, so that the summary can say whether it
  // could be; the copy waits for this program to end.
  const bool selfRemoval = outcome.everythingRemoved() && startSelfRemoval(folder);
  if (!options.silent)
    showMessage(nullptr, summary(outcome, selfRemoval, folder),
                MB_OK | (selfRemoval ? MB_ICONINFORMATION : MB_ICONWARNING));
  return selfRemoval ? ExitCode::Uninstalled : ExitCode::UninstallIncomplete;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // First of all, before any DLL is loaded by name.
  hardenDllSearch();
  const std::vector<std::wstring> arguments = commandLineArguments();
  const UninstallerOptions options = parseUninstallerOptions(arguments);
  if (options.finish) {
    return static_cast<int>(
        finishSelfRemoval(reinterpret_cast<HANDLE>(options.originalProcess), options.installFolder));
  }

  InstanceMutex instance;
  if (!instance.take(kUninstallerMutexName)) return static_cast<int>(ExitCode::UninstallNotDone);
  loadInterfaceLanguage(arguments);

  if (!options.uninstall) {
    if (!options.silent)
      showMessage(nullptr,
                  translateText(L"This program removes Tonvane Free from your computer. Start it from the "
                                L"Start menu (Uninstall) or from the list of installed programs.") +
                      L"\r\n\r\n" + kUninstallerFileName + L" /Uninstall [/S] [/lang:jpn]\r\n/S: " +
                      translateText(L"remove without any question or window"),
                  MB_OK | MB_ICONINFORMATION);
    return static_cast<int>(ExitCode::UninstallNotDone);
  }
  return static_cast<int>(uninstall(options));
}
