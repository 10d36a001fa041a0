// The last step of an uninstall: the uninstaller's own file and the install
// folder, which cannot go while the uninstaller runs from there.
//
// The uninstaller copies itself into a private folder of its own under the
// system's temporary folder (PrivateFolder.h: a normal program can neither
// write there nor rename or replace the folder or the copy, which runs
// elevated), checks by the final path of the open copy that it starts
// exactly the file it wrote, and starts it with "/Finish", its own process
// handle and the install folder. The copy waits for the original to end,
// deletes the uninstaller's file and then the install folder if it is
// empty. The copy's own file was opened for deletion on close by the
// original, a handle the copy inherits: when the copy ends, the system
// deletes its file. Its folder, which cannot go while the copy runs from
// it, is left empty and removed by the system at the next restart. No
// script stays behind.
#pragma once

#include <windows.h>

#include <string>

#include "ExitCode.h"

namespace tonvane {

// The option that starts a copy in its finishing role.
constexpr const wchar_t* kFinishOption = L"/Finish";

// Starts the copy; false when it could not be made, checked or started (the
// uninstaller's file and the install folder then stay, nothing of the copy
// is left, and nothing else is lost).
bool startSelfRemoval(const std::wstring& installFolder);

// The copy's part: waits for `original` to end and closes that
// handle (the copy's own, inherited), then deletes the uninstaller in
// `installFolder` and the folder when it is empty. Only a file named like
// the uninstaller is deleted, and never the folder the copy itself runs
// from. SelfRemovalDone when both are gone, else SelfRemovalIncomplete.
ExitCode finishSelfRemoval(HANDLE original, const std::wstring& installFolder);

}  // namespace tonvane
