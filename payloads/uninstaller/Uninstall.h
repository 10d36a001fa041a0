// The removal of an installed Tonvane Free: what the uninstaller does once
// the user has agreed, without any window of its own.
//
// Taken away, in this order:
//   - every file "install.log" lists that lies inside the install folder
//     (a path outside it, which a merged or edited log can hold, is never
//     touched, not even looked at, and is reported instead; so is a listed
//     name that a junction or link leads elsewhere);
//   - every folder of the install folder that those deletions left empty,
//     deepest first (a folder that still holds a file of the user's stays;
//     a junction or link inside the install folder is never followed);
//   - the Start menu group "Tonvane Free" of all users and of the current
//     user, when one of its links points into this install folder: those
//     links and its online-help link, and the group when it is empty then;
//     the desktop and Send To links "Tonvane Free.lnk" when they point into
//     this install folder;
//   - the uninstall entry "Tonvane Free", only when its InstallLocation is
//     this folder;
//   - "install.log".
// A listed file that cannot be deleted (in use, access denied) stays, and
// so do the log (rewritten to list exactly those files), the entry and the
// group's uninstall link, so that a second run can finish the work.
// Without a readable log nothing at all is removed.
//
// The user's profile folders, and an install folder outside the system's
// program folders, are places the user's other programs can change while
// this runs elevated: every file, link and folder there is opened once,
// checked by where it really is, and read and deleted through that handle
// (HeldPath.h).
// The uninstaller's own file and the install folder go last, after the
// program has ended (SelfRemoval.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Shortcuts.h"

namespace tonvane {

struct UninstallOutcome {
  std::size_t removedFiles = 0;
  // Listed files inside the folder that could not be deleted.
  std::vector<std::wstring> leftInPlace;
  // Listed paths outside the folder, left alone.
  std::vector<std::wstring> outsideFolder;
  // install.log was missing, could not be read or had no section
  // "Install": nothing was removed, the entry and the links included.
  bool logUnreadable = false;

  bool everythingRemoved() const { return !logUnreadable && leftInPlace.empty(); }
};

// Where the links of an install may lie: the Start menu's programs folders
// and the desktops of all users and of the current user, and Send To. A
// folder the shell could not name is empty and skipped.
struct LinkFolders {
  std::wstring commonPrograms;
  std::wstring userPrograms;
  std::wstring commonDesktop;
  std::wstring userDesktop;
  std::wstring sendTo;
  // The names (without ".lnk") the group's online-help link may have: the
  // setup names it in the language it ran in, and its target, a web
  // address, is not a file the link can be matched by.
  std::vector<std::wstring> helpLinkNames;
};

// The system's folders; the help link's names are the caller's.
LinkFolders systemLinkFolders();

// Called after each listed file: files handled so far, and their number.
using UninstallProgress = std::function<void(std::size_t done, std::size_t total)>;

// Removes the install in `installFolder` (a full path, with or without a
// trailing backslash) as described above. COM must be initialised on the
// calling thread.
UninstallOutcome removeInstallation(const std::wstring& installFolder, const LinkFolders& links,
                                    const UninstallProgress& progress = nullptr);

}  // namespace tonvane
