// The folders an install goes to when the user names none: the one the
// folder page proposes, and the one it proposes for the portable
// configuration. The wizard and the silent install share them.
#pragma once

#include <string>

#include "FolderText.h"

namespace tonvane {

// The shell's Program Files folder ("C:\Program Files" when the shell cannot
// say), with a backslash, followed by "Tonvane Free\".
std::wstring defaultFolder();

// This program's own folder followed by "Tonvane Free\": a portable copy
// goes beside the setup, to a stick, say.
std::wstring portableDefaultFolder();

}  // namespace tonvane
