// The install folder page (IDD_FOLDER_PAGE): the proposed folder, the portable
// and all-users boxes, the shell's folder browser, and the check made when
// the user leaves the page with Next. The page keeps no data of its own: the
// folder lives in its edit box until the leave check copies it into
// SetupState.
#pragma once

#include <windows.h>

#include <string>

#include "InstallFolder.h"
#include "ResourceIds.h"
#include "SetupState.h"

namespace tonvane {

// First visit: the edit box shows `proposed` (proposedInstallFolder: the
// earlier install's folder, else defaultFolder()), "Install for all users"
// is ticked and the portable box is not.
void applyFolderPageDefaults(HWND page, const std::wstring& proposed);

// After the portable box changed: the edit box shows portableDefaultFolder()
// when the box is ticked, otherwise `proposed`, as on the first visit. What
// the user had typed is replaced either way.
void onPortableToggled(HWND page, const std::wstring& proposed);

// The whole text of the page's edit box; empty when the page has none.
std::wstring readFolderEdit(HWND page);

// The shell's folder browser, owned by `owner`, captioned "テストのダイアログ",
// with `title` as its instruction and `path` (when not empty) preselected.
// False when the user cancelled, `path` unchanged; otherwise true and `path`
// is the chosen folder, or empty when the item has no file-system path.
bool browseForFolder(const std::wstring& title, HWND owner, std::wstring& path);

// The Browse button (IDC_FOLDER_BROWSE) was pressed; `sender` is the button's window.
// Does nothing unless the button belongs to the folder page. After a browse
// that was not cancelled the edit box shows browsedInstallFolder() of the
// chosen folder.
void onBrowse(SetupState& state, HWND sender);

// Next on the folder page. Copies the edit box into installFolder and the
// boxes into portable and allUsers (also when the user stays), then decides:
// an empty or relative folder stays, with a message box asking for a folder;
// too little room for the install on a drive it writes to stays, with a
// message box naming the drive, the need and the free space (DiskSpace.h);
// unless portable, a newer release installed (state.earlier) asks whether to
// install this older one over it (Yes/No, No the default; No stays, with
// nothing changed, so the user may tick portable, go back or cancel);
// an existing directory asks whether to install over it (No stays); anything
// else goes on. True to leave the page.
bool folderPageLeaveCheck(SetupState& state, HWND page);

}  // namespace tonvane
