// What an administrator asks of the setup on its command line (the options
// in SetupOptions.h): the install without any window ("/S"), the help box
// ("/?") and the first lines of the setup log ("/LOG=").
//
// A silent install makes the choices the wizard proposes when the user
// only presses Next, changed by the options: the folder page's default
// folder (its portable one with /Portable), all users, the Start menu and
// desktop links (none in the portable configuration, as the Shortcuts page
// proposes there), no Send To link, no partner offer, no press-release
// page. Older releases go first, as when the wizard starts. Over a newer
// release than its own it installs only with /AllowDowngrade, where the
// wizard would ask.
//
// Exit codes: the ExitCode::Silent... values (ExitCode.h), the Windows
// Installer's numbers.
#pragma once

#include <string>

#include "ExitCode.h"
#include "InstallChoices.h"
#include "SetupOptions.h"

namespace tonvane {

// False, with a line for each in the setup log, when the options hold
// anything a silent install does not know. Checked before start-up takes
// the instance mutex: a malformed command line changes nothing.
bool silentOptionsKnown(const SetupOptions& options);

// The choices of a silent install; the folder as given (or proposed), not
// yet checked. Without /D= (and not portable) the folder is `earlierFolder`
// (EarlierInstall::folder: the earlier install's, "" when none may be used),
// else defaultFolder().
InstallChoices silentInstallChoices(const SetupOptions& options, const std::wstring& earlierFolder = std::wstring());

// The install itself, after the start-up checks passed, with COM
// initialised on the calling thread. Shows nothing; its exit code.
ExitCode runSilentInstall(const SetupOptions& options);

// The help box's text, translated, and the box (OK only, owned by the
// desktop).
std::wstring setupHelpText();
void showSetupHelp();

// The log's first lines: the setup's version and the start time, the
// command line, the system's languages and code pages, the kind of run,
// and what a wizard run ignores.
void logSetupStart(const SetupOptions& options);

}  // namespace tonvane
