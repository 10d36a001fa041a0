// The last step of an uninstall: the uninstaller's own file and the install
// folder, which cannot go while the uninstaller runs from there.
//
// The uninstaller copies itself to a new file in the temporary folder (an
// unpredictable name, created fresh with an access list for SYSTEM and the
// Administrators only, since the copy runs elevated) and starts the copy with
// "/Finish", its own process handle and the install folder. The copy waits
// for the original to end, deletes the uninstaller's file and then the
// install folder if it is empty. The copy's own file was opened for deletion
// on close by the original, a handle the copy inherits: when the copy ends,
// the system deletes its file. No script and no file stays behind.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// The option that starts a copy in its finishing role.
constexpr const wchar_t* kFinishOption = L"/Finish";

// Starts the copy; false when it could not be made or started (the file and
// the folder then stay, and nothing else is lost).
bool startSelfRemoval(const std::wstring& installFolder);

// The copy's part: waits (a bounded time) for `original` and closes that
// handle (the copy's own, inherited), then deletes the uninstaller in
// `installFolder` and the folder when it is empty. Only a file named like
// the uninstaller is deleted, and never the folder the copy itself runs
// from. Returns 0 when both are gone, 2 otherwise.
int finishSelfRemoval(HANDLE original, const std::wstring& installFolder);

}  // namespace tonvane
