#include "FolderPage.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "DialogKeys.h"
#include "DiskSpace.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "ShellLink.h"
#include "SystemLibrary.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

// "テストのダイアログ": the browser's caption, in both interface languages.
constexpr const wchar_t* kBrowserCaption = L"\u30C6\u30B9\u30C8\u306E\u30C0\u30A4\u30A2\u30ED\u30B0";

// The record comctl32's DllGetVersion fills; declared here so that the
// version query needs no import library.
struct VersionRecord {
  DWORD size;
  DWORD major;
  DWORD minor;
  DWORD build;
  DWORD platform;
};
using DllGetVersionProcedure = HRESULT(CALLBACK*)(VersionRecord*);

// Major * 65536 + minor of the common controls, 0 when unknown.
DWORD commonControlsVersion() {
  const LibraryReference library(loadSystemLibrary(L"comctl32.dll"));
  if (!library) return 0;
  auto procedure =
      reinterpret_cast<DllGetVersionProcedure>(reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetVersion")));
  if (procedure == nullptr) return 0;
  VersionRecord record = {};
  record.size = sizeof record;
  if (FAILED(procedure(&record))) return 0;
  return ((record.major & 0xFFFF) << 16) | (record.minor & 0xFFFF);
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    SetWindowTextW(window, kBrowserCaption);
    if (data != 0) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

bool isTicked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }

}  // namespace

void applyFolderPageDefaults(HWND page, const std::wstring& proposed) {
  SetDlgItemTextW(page, IDC_FOLDER_EDIT, proposed.c_str());
  CheckDlgButton(page, IDC_FOLDER_ALL_USERS, BST_CHECKED);
  CheckDlgButton(page, IDC_FOLDER_PORTABLE, BST_UNCHECKED);
}

void onPortableToggled(HWND page, const std::wstring& proposed) {
  const std::wstring folder = isTicked(page, IDC_FOLDER_PORTABLE) ? portableDefaultFolder() : proposed;
  SetDlgItemTextW(page, IDC_FOLDER_EDIT, folder.c_str());
}

std::wstring readFolderEdit(HWND page) {
  HWND edit = GetDlgItem(page, IDC_FOLDER_EDIT);
  if (edit == nullptr) return std::wstring();
  const int length = GetWindowTextLengthW(edit);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(edit, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

bool browseForFolder(const std::wstring& title, HWND owner, std::wstring& path) {
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.pidlRoot = nullptr;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = title.c_str();
  browse.lpfn = &browseCallback;
  browse.lParam = path.empty() ? 0 : reinterpret_cast<LPARAM>(path.c_str());
  // The resizable browser with an edit box needs common controls 5.0.
  browse.ulFlags = commonControlsVersion() >= 0x50000
                       ? BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE
                       : BIF_RETURNONLYFSDIRS | BIF_VALIDATE;

  // The new dialog style hosts OLE objects and needs OLE on this thread;
  // a thread that already runs it in another mode keeps that mode.
  const OleInitialization ole;
  const TaskMemory<PIDLIST_ABSOLUTE> item(SHBrowseForFolderW(&browse));
  if (!item) return false;
  wchar_t folder[MAX_PATH + 1] = {};
  path = SHGetPathFromIDListW(item.get(), folder) ? folder : L"";
  return true;
}

void onBrowse(SetupState& state, HWND sender) {
  HWND page = state.pages[Folder].window;
  if (page == nullptr || sender == nullptr || GetParent(sender) != page) return;
  std::wstring path = readFolderEdit(page);
  const bool chosen =
      browseForFolder(translateText(L"Select the folder that you want to install."), state.frameWindow, path);
  // The keys come back to the Browse button however the browser ended.
  moveDialogFocus(state.frameWindow, sender);
  if (!chosen) return;
  SetDlgItemTextW(page, IDC_FOLDER_EDIT, browsedInstallFolder(path).c_str());
}

bool folderPageLeaveCheck(SetupState& state, HWND page) {
  const std::wstring typed = readFolderEdit(page);
  const std::wstring normalized = normalizedInstallFolder(typed);
  state.installFolder = normalized.empty() ? typed : normalized;
  state.portable = isTicked(page, IDC_FOLDER_PORTABLE);
  state.allUsers = isTicked(page, IDC_FOLDER_ALL_USERS);
  // The user sees the folder that will be used.
  if (!normalized.empty() && normalized != typed) SetDlgItemTextW(page, IDC_FOLDER_EDIT, normalized.c_str());

  // A relative folder would be resolved against the current folder, which
  // for an elevated setup can be the system folder; a device path or name
  // is no folder at all.
  if (normalized.empty()) {
    showSetupMessage(state.frameWindow, translateText(L"Select the folder that you want to install."), MB_OK);
    return false;
  }
  // Before the question about an existing folder: an answer that leads
  // nowhere is not asked for.
  VolumeSpace full;
  if (!installHasRoom(state.installFolder, state.portable, full)) {
    showSetupMessage(state.frameWindow, notEnoughSpaceText(full, true), MB_OK | MB_ICONWARNING);
    return false;
  }
  // A portable copy writes no entry and leaves the installed release alone.
  // Asked here, the first moment the wizard knows it would install over
  // the entry and before anything is changed.
  if (!state.portable && state.earlier.release == InstalledRelease::Newer) {
    const bool older = showSetupMessage(state.frameWindow, olderReleaseQuestion(state.earlier),
                                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    setupLog(older ? L"A newer release is installed; the user chose to install this older release over it"
                   : L"A newer release is installed; the user chose not to install this older release, "
                     L"nothing changed");
    if (!older) return false;
  }
  if (isExistingFolder(state.installFolder)) {
    const std::wstring text = translateText(L"Folder exists in the destination.") + L"\r\n" +
                              translateText(L"Do you want to overwrite install?");
    return showSetupMessage(state.frameWindow, text, MB_YESNO) != IDNO;
  }
  return true;
}

}  // namespace tonvane
