// The folders an install goes to when the user names none: the one the
// folder page proposes, and the one it proposes for the portable
// configuration. The wizard and the silent install share them. And the
// rights a new install folder gets.
#pragma once

#include <string>
#include <vector>

#include "FolderText.h"

namespace tonvane {

// The shell's Program Files folder ("C:\Program Files" when the shell cannot
// say), with a backslash, followed by "Tonvane Free\".
std::wstring defaultFolder();

// This program's own folder followed by "Tonvane Free\": a portable copy
// goes beside the setup, to a stick, say.
std::wstring portableDefaultFolder();

// The system's program folders, where a new folder inherits rights that
// keep ordinary users from changing it: the Program Files folder of this
// process's view and of the other one (a 32-bit process on a 64-bit system
// sees the 64-bit one only through the ProgramW6432 environment value or
// the registry's ProgramW6432Dir), without trailing backslash, each once.
std::vector<std::wstring> systemProgramFolders();

// Whether `folder` lies below one of the system's program folders (letter
// case aside, as typed: a full path).
bool isBelowSystemProgramFolder(const std::wstring& folder);

enum class InstallFolderRights {
  Existing,       // it was there already: left as it was
  Inherited,      // made, with the rights the folder above hands down
  ProgramFolder,  // made with the program folders' rights
                  // (kProgramFolderAccessList, PrivateAccess.h)
  NotMade,        // could not be made; nothing will arrive there
  NoAccessList,   // the program folders' rights could not be built:
                  // nothing was made, and nothing must be installed
};

// Makes the install folder (as typed, with or without trailing backslash)
// when it does not exist yet. Outside the system's program folders a
// normal program of the user could otherwise add to it and replace what it
// holds, the uninstaller an administrator starts elevated included: there
// it is made with the program folders' rights, in the call that makes it
// (missing folders above it are made with inherited rights). The portable
// configuration, whose copy belongs to whoever carries it, and a folder
// below the program folders inherit. An existing folder is left alone.
InstallFolderRights makeInstallFolder(const std::wstring& folder, bool portable);

}  // namespace tonvane
