// The last step of an install: the shell links the user asked for, and the
// application's settings file for the chosen configuration.
//
// Links, by choice (names and descriptions pass through translateText):
//   Start menu   group "Tonvane Free\" in the programs folder:
//                "Tonvane Free.lnk"  -> Tonvane.exe, "Wave editing application"
//                "Online help.lnk"   -> the vendor site's help pages
//                "Uninstall.lnk"     -> TonvaneUninstaller.exe /Uninstall
//                                       (not in the portable configuration)
//   Desktop      "Tonvane Free.lnk"  -> Tonvane.exe, "Wave editing application"
//   Send To      "Tonvane Free.lnk"  -> Tonvane.exe, "Wave editing application"
// All users get the common programs and desktop folders; Send To is always
// the current user's. A Send To link of an earlier install is deleted when
// Send To is not chosen.
//
// Settings file "Tonvane.ini": the portable configuration gets the template
// (TEXT IDR_SETTINGS_TEMPLATE) written into the install folder, replacing what is there. Any
// other configuration moves a settings file found in the install folder to
// the user's "tonvanehome\Tonvane\" folder under the application data, but
// only when that folder exists and holds no settings file yet; otherwise the
// file stays where it is. The links and the settings are the last changes of
// an install, made inside its transaction (InstallTransaction.h): a failed
// install puts back every link and settings file as it was.
#pragma once

#include <string>

#include "InstallChoices.h"
#include "ProductIdentity.h"

namespace tonvane {

// The group's link to the help pages, without ".lnk", in English; it is
// named through translateText, and the uninstaller finds it by that name in
// either language (its target, a web address, is no file to match it by).
constexpr const wchar_t* kHelpLinkName = L"Online help";

// The shell folders the step writes to, each with a trailing backslash, or
// empty when the shell could not name it.
struct ShellFolders {
  std::wstring programs;
  std::wstring desktop;
  std::wstring sendTo;
  std::wstring applicationData;
};

// The folders for the current user, or (programs and desktop only) for all
// users.
ShellFolders shellFolders(bool allUsers);

// The help pages on the vendor's site.
std::wstring helpAddress();

class InstallTransaction;

// False when a chosen link could not be made (a link at its name or its
// group folder included) or the settings file could not be written; each
// is told to the setup log. A folder the shell could not name is skipped
// with its links (rather than taking the links to the process's current
// folder), and a settings file that cannot move stays where it is: neither
// is a failure. Inside an install's `transaction`, each change asks its
// gate first, leaves the way back with it, and the first failure ends the
// step. COM must be initialised on the calling thread.
bool createShortcutsAndSettings(const InstallChoices& choices, const ShellFolders& folders,
                                InstallTransaction* transaction = nullptr);
inline bool createShortcutsAndSettings(const InstallChoices& choices) {
  return createShortcutsAndSettings(choices, shellFolders(choices.allUsers));
}

}  // namespace tonvane
