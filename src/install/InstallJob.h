// The install itself: the application archive unpacked into the chosen
// folder, "install.log" beside it, the uninstaller, and the product's entry
// in the system's list of installed programs, in that order, with a
// progress bar moved 0, 20, 40, 60, 80, 100 between the steps.
//
// Left behind by a run: the application's files, "install.log" (the files
// of this run after the still-existing ones of an earlier log), and, unless
// portable, "TonvaneUninstaller.exe" and the uninstall entry "Tonvane Free".
// The archive "Tonvane.zip" lives in the staging folder only while it is
// extracted.
#pragma once

#include <windows.h>

#include <string>

#include "InstallChoices.h"

namespace tonvane {

// The archive's name in the staging folder, and the log's in the install
// folder.
constexpr const wchar_t* kArchiveFileName = L"Tonvane.zip";
constexpr const wchar_t* kInstallLogFileName = L"install.log";

// The publisher named in the uninstall entry.
constexpr const wchar_t* kPublisher = L"Marrowfen";

// Runs the whole install on the calling thread; no message is dispatched
// until it returns. `stagingFolder` is where the archive is written before
// it is extracted; when it is empty the job makes a private staging folder
// of its own and removes it again at its end. `progressBar` may be null.
//
// False after a message box owned by `owner` ("Failed to install.", OK
// only) has been closed: when the archive cannot be written to the staging
// folder (nothing is installed then), when no file of the archive reached
// the install folder, or when the uninstaller cannot be written (the files
// and the log stay; nothing is rolled back). A log that cannot be saved or
// an uninstall entry that cannot be registered is not reported.
bool runInstallJob(const InstallChoices& choices, const std::wstring& stagingFolder,
                   HWND progressBar, HWND owner);

}  // namespace tonvane
