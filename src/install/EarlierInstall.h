// The release found installed when the setup starts: the uninstall entry
// the setup itself writes (kProductName). Proposing the default folder over
// it would leave that install behind with nothing to remove it, so its
// folder is proposed instead, and its version decides whether installing
// would go back a release. Any program may have written the entry's values:
// they count only as far as the folder page's rules accept them
// (earlierInstallFolder, FolderText.h) and as far as they parse as a version.
#pragma once

#include <string>

#include "ReleaseVersion.h"

namespace tonvane {

struct EarlierInstall {
  bool found = false;     // the entry exists
  std::wstring location;  // its InstallLocation as stored, "" when absent or no text
  std::wstring folder;    // location, when the setup may propose it; otherwise ""
  std::wstring version;   // its DisplayVersion as stored
  // The installed release against this setup's own version; Unknown without
  // an entry or when either version does not parse.
  InstalledRelease release = InstalledRelease::Unknown;
};

// This program's own version ("ProductVersion" of its version resource),
// "" without one.
std::wstring setupVersion();

// Reads the entry (for reading only) and compares its version with
// setupVersion(); the setup log names what was found and what is made of it.
EarlierInstall findEarlierInstall();

// The folder proposed when the user or the administrator names none (and
// the portable box is not ticked): the earlier install's folder, or
// defaultFolder() (InstallFolder.h).
std::wstring proposedInstallFolder(const EarlierInstall& earlier);

// "A newer release of Tonvane Free is installed (%s). ..." translated, with
// the installed version in place of "%s": the wizard's question before it
// installs an older release over a newer one.
std::wstring olderReleaseQuestion(const EarlierInstall& earlier);

}  // namespace tonvane
