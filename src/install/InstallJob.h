// The install itself: the application archive unpacked into the chosen
// folder, "install.log" beside it, the uninstaller, the product's entry in
// the system's list of installed programs, the links and the settings
// file. The job shows nothing: it tells its caller how far it is (0, 20,
// 40, 60, 80, 100) and how it ended, and the caller shows what the user
// sees.
//
// Left behind by a run: the application's files, "install.log" (the files
// of this run after the still-existing ones of an earlier log), and, unless
// portable, "TonvaneUninstaller.exe" and the uninstall entry "Tonvane Free".
// The archive is read where the setup carries it, in its own image: no
// copy of it is written anywhere.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "InstallChoices.h"
#include "ProductIdentity.h"

namespace tonvane {

// Called with each position as the job reaches it: 0 before anything is
// done; 20 once an interrupted install in the folder is finished and the
// install folder is there; 40 once every file of the application is staged
// beside its destination; 60 once the log and the uninstaller are staged
// too; 80 once the new files are in place; 100 once the entry, the links and the settings are made
// and the transaction is over. A failed run stops reporting at its last
// position.
using InstallProgress = std::function<void(int position)>;

enum class InstallResult {
  Installed,
  Failed,     // and everything it had changed undone
  Cancelled,  // by `cancel`; everything undone
};

// Runs the whole install on the calling thread as one transaction
// (InstallTransaction.h): the application's files, "install.log", the
// uninstaller, the uninstall entry, the links and the settings file, all of
// them or none. What killed runs left of their private staging folders
// (PrivateFolder.h) is removed first. `progress` may be empty. `cancel`,
// when given and set (by another thread), stops the job at its next step
// and undoes what it did.
//
// An install into the folder that was killed half-way is finished first
// (recoverInterruptedInstall). A missing install folder is made, with the
// program folders' rights unless portable or below a program folder
// (makeInstallFolder, InstallFolder.h), and taken away again, with the
// folders made above it, by a failed or cancelled run; so is everything
// else: an earlier release stays byte for byte as it was, its log and its
// entry included. Every step and the result go to the setup log. COM must
// be initialised on the calling thread (the links).
InstallResult runInstallJob(const InstallChoices& choices, const InstallProgress& progress,
                            const volatile LONG* cancel = nullptr);

// The full paths of the files an install of `choices` writes into its
// folder, whether they are there yet or not: the archive's files,
// "install.log" and, unless portable, the uninstaller. What a running
// program must not hold for the install to go through.
std::vector<std::wstring> filesTheInstallWrites(const InstallChoices& choices);

}  // namespace tonvane
