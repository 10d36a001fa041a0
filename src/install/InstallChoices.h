// What the user chose for an install, as the install engine needs it: the
// wizard fills this from its own state, so the engine never sees the wizard.
#pragma once

#include <string>

namespace tonvane {

struct InstallChoices {
  // As the user typed it: with or without a trailing backslash.
  std::wstring installFolder;
  // Settings kept beside the program, no uninstaller.
  bool portable = false;
  // Start menu group and desktop link in the folders shared by every user.
  bool allUsers = false;
  bool startMenuShortcut = false;
  bool desktopShortcut = false;
  bool sendToShortcut = false;
};

}  // namespace tonvane
