// The install itself: the application archive unpacked into the chosen
// folder, "install.log" beside it, the uninstaller, and the product's entry
// in the system's list of installed programs, in that order. The job shows
// nothing: it tells its caller how far it is (0, 20, 40, 60, 80, 100) and
// whether it went through, and the caller shows what the user sees.
//
// Left behind by a run: the application's files, "install.log" (the files
// of this run after the still-existing ones of an earlier log), and, unless
// portable, "TonvaneUninstaller.exe" and the uninstall entry "Tonvane Free".
// The archive "Tonvane.zip" lives in the staging folder only while it is
// extracted.
#pragma once

#include <functional>
#include <string>

#include "InstallChoices.h"

namespace tonvane {

// The archive's name in the staging folder, and the log's in the install
// folder.
constexpr const wchar_t* kArchiveFileName = L"Tonvane.zip";
constexpr const wchar_t* kInstallLogFileName = L"install.log";

// The publisher named in the uninstall entry.
constexpr const wchar_t* kPublisher = L"Marrowfen";

// Called with each position as the job reaches it: 0 before anything is
// done; 20 once the archive is written to the staging folder and checked;
// 40 once it is extracted and the log saved; 60 once the archive is gone
// and the application's files are known to have arrived; 80 once the
// uninstaller is written (or, portable, would have been); 100 once the
// product is registered. A failed run stops reporting at its last position.
using InstallProgress = std::function<void(int position)>;

// Runs the whole install on the calling thread; no message is dispatched
// until it returns, and nothing is shown. `stagingFolder` is where the
// archive is written before it is extracted; when it is empty the job makes
// a private staging folder of its own (PrivateFolder.h), holds it, and
// removes it again at its end.
// `progress` may be empty.
//
// A missing install folder is made before anything is extracted, with the
// program folders' rights unless portable or below a program folder
// (makeInstallFolder, InstallFolder.h).
//
// False, with the archive deleted and an own staging folder removed, when
// the archive cannot be written to the staging folder or does not hold the
// bytes the setup carries, or when the install folder's access list cannot
// be built (nothing is installed then), when no file of the archive reached
// the install folder, or when the uninstaller cannot be written (the files
// and the log stay; nothing is rolled back). A log that cannot be saved or
// an uninstall entry that cannot be registered is not reported.
bool runInstallJob(const InstallChoices& choices, const std::wstring& stagingFolder,
                   const InstallProgress& progress);

}  // namespace tonvane
