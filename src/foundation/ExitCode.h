// Every exit code the setup (its wizard, its help box and its silent
// install) and the uninstaller end with. Each program ends with the codes of
// its own group only, so numbers repeat between groups. README.md's table
// ("Exit codes") is made from this one, and tools/make-winget-manifest
// reads the silent install's codes from the `Silent<Name> = <decimal>,`
// lines for the package manager's manifest: a silent code is written in
// that one form, one a line.
#pragma once

namespace tonvane {

enum class ExitCode : int {
  // The setup with its wizard (no /S).
  WizardNotShown = 0,  // the wizard's frame could not be created
  WizardClosed = 1,    // Close on the last page: installed
  // Refused at start-up after its one message: another copy of the setup
  // runs (no message then), a system it does not run on, a user without
  // administrator rights, a damaged setup file. Nothing changed.
  WizardRefused = 1,
  // A confirmed Cancel, Cancel where files of the installed release are in
  // use, or a failed install; everything it had changed is undone.
  WizardCancelled = 2,

  // The setup with "/?" (also with /S): the options' help box was shown.
  HelpShown = 0,

  // The setup with /S: the Windows Installer's numbers, which deployment
  // tools read from any installer without a table of their own.
  SilentInstalled = 0,
  // Files of the installed release are in use and were not closed; nothing
  // was changed.
  SilentFilesInUse = 32,
  // An unknown option or a folder the folder page would refuse.
  SilentInvalidOption = 87,
  // Too little room on a drive the install writes to; nothing was written.
  SilentNoDiskSpace = 112,
  // The install was cancelled and everything it had changed was undone.
  SilentCancelled = 1602,
  // The install failed and everything it had changed was undone.
  SilentFailed = 1603,
  // Another copy of the setup runs (a deployment tool tries again later).
  SilentAnotherCopy = 1618,
  // Refused at start-up: the setup file is damaged.
  SilentDamagedSetup = 1620,
  // Refused at start-up: a system the setup does not run on.
  SilentUnsupportedSystem = 1633,
  // A newer release is installed and /AllowDowngrade was not given;
  // nothing was changed.
  SilentNewerInstalled = 1638,
  // Refused at start-up: a user without the administrators' rights.
  SilentNotAdministrator = 1925,

  // The uninstaller (/Uninstall, with or without /S).
  // Everything was removed, and the copy that removes the uninstaller's own
  // file and the folder was started.
  Uninstalled = 0,
  // Nothing was done: the user declined, another copy runs, no
  // administrator rights, or no /Uninstall (its help box was shown).
  UninstallNotDone = 1,
  // Something stayed: files in use or that could not be deleted, a list of
  // files (install.log) that could not be read, or a copy that could not be
  // started.
  UninstallIncomplete = 2,

  // The uninstaller's copy (/Finish), which nobody waits for.
  SelfRemovalDone = 0,        // the uninstaller's file and the folder are gone
  SelfRemovalIncomplete = 2,  // either stayed
};

}  // namespace tonvane
