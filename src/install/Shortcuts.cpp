#include "Shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "HeldPath.h"
#include "Paths.h"
#include "PathText.h"
#include "Resources.h"
#include "SetupLog.h"
#include "ShellLink.h"
#include "TranslationTable.h"
#include "UninstallRegistration.h"
#include "VendorSite.h"

namespace tonvane {

namespace {

std::wstring folderWithBackslash(int csidl) {
  return ensureTrailingBackslash(specialFolderPath(csidl));
}

// createShortcut, told to the setup log. A link (a symbolic link, a
// junction) standing at the name would take the save to its target: such a
// name is left alone.
void makeLink(const std::wstring& target, const std::wstring& linkPath,
              const std::wstring& description, const std::wstring& arguments) {
  if (pathHasAttributes(linkPath, FILE_ATTRIBUTE_REPARSE_POINT)) {
    setupLog(L"Link not made, a link to elsewhere stands at its name: " + linkPath);
    return;
  }
  const bool made = createShortcut(target, linkPath, description, arguments);
  setupLog((made ? L"Link made: " : L"Link could not be made: ") + linkPath + L" -> " + target +
           (arguments.empty() ? L"" : L" " + arguments));
}

std::wstring programLinkName() { return std::wstring(kProductName) + L".lnk"; }

void writePortableSettings(const std::wstring& settingsFile) {
  const ResourceBytes settingsTemplate = loadResource(ResourceId::kText, IDR_SETTINGS_TEMPLATE);
  // Without its template the program must not empty a settings file that
  // is already there.
  if (settingsTemplate.size == 0) return;
  setupLog((writeResourceToFile(settingsTemplate, settingsFile) ? L"Settings written: "
                                                                : L"Settings could not be written: ") +
           settingsFile);
}

void moveSettingsToUserFolder(const std::wstring& settingsFile, const std::wstring& applicationData) {
  if (applicationData.empty() || !isExistingFile(settingsFile)) return;
  // Neither the folder is made nor a file there replaced: without both the
  // move fails and the application keeps its settings where they are. The
  // folders are the user's: held while the file moves, none of them a link
  // to a place of somebody else's.
  std::vector<HeldPath> userFolder;
  if (!holdFolderSteps(applicationData, kUserSettingsFolder, userFolder)) return;
  const std::wstring moved = applicationData + kUserSettingsFolder + kSettingsFileName;
  if (MoveFileW(settingsFile.c_str(), moved.c_str()))
    setupLog(L"Settings moved: " + settingsFile + L" -> " + moved);
}

// Deletes `name` in `folder`, a folder of the user's profile that the
// user's own programs can change: through one handle whose final path shows
// it lies in that folder, itself held, so that a junction swapped in never
// leads the deletion elsewhere. True when a file was deleted.
bool removeUserLink(const std::wstring& folder, const std::wstring& name) {
  HeldPath parent;
  if (!parent.open(folder, HeldPath::Access::Look) || !parent.isFolder() || parent.finalPath().empty())
    return false;
  HeldPath link;
  if (!link.open(folder + name, HeldPath::Access::Delete)) return false;
  if (link.isFolder() || !link.isAt(ensureTrailingBackslash(parent.finalPath()) + name)) {
    setupLog(L"Link left alone, it does not lie in its folder: " + folder + name);
    return false;
  }
  return link.remove();
}

}  // namespace

ShellFolders shellFolders(bool allUsers) {
  ShellFolders folders;
  folders.programs = folderWithBackslash(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  folders.desktop =
      folderWithBackslash(allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY);
  // Send To has no variant for all users.
  folders.sendTo = folderWithBackslash(CSIDL_SENDTO);
  folders.applicationData = folderWithBackslash(CSIDL_APPDATA);
  return folders;
}

std::wstring helpAddress() { return vendorSite() + L"wordpress/tonvane_help/"; }

bool createShortcutsAndSettings(const InstallChoices& choices, const ShellFolders& folders) {
  const std::wstring installFolder = ensureTrailingBackslash(choices.installFolder);
  const std::wstring program = installFolder + kProgramFileName;
  const std::wstring uninstaller = installFolder + kUninstallerFileName;
  const std::wstring description = translateText(L"Wave editing application");

  // The folders are the user's (or, for all users, the machine's): each is
  // held while its links are written (holdFolderSteps).
  std::vector<HeldPath> held;
  if (choices.startMenuShortcut && !folders.programs.empty()) {
    const std::wstring group = folders.programs + kProductName + L"\\";
    ensureFolder(group);
    // A group folder that is a link to a folder elsewhere would have the
    // elevated save replace another program's links of the same names.
    if (!holdFolderSteps(folders.programs, kProductName, held)) {
      setupLog(L"Start menu links not made, the group folder is a link or cannot be checked: " + group);
    } else {
      makeLink(program, group + programLinkName(), description, L"");
      makeLink(helpAddress(), group + translateText(L"Online help") + L".lnk", L"", L"");
      // The portable configuration has no uninstaller.
      if (!choices.portable)
        makeLink(uninstaller, group + translateText(L"Uninstall") + L".lnk", L"", L"/Uninstall");
    }
  }

  if (choices.desktopShortcut && !folders.desktop.empty()) {
    ensureFolder(folders.desktop);
    if (holdFolderSteps(folders.desktop, std::wstring(), held))
      makeLink(program, folders.desktop + programLinkName(), description, L"");
  }

  if (!folders.sendTo.empty()) {
    if (choices.sendToShortcut) {
      ensureFolder(folders.sendTo);
      if (holdFolderSteps(folders.sendTo, std::wstring(), held))
        makeLink(program, folders.sendTo + programLinkName(), description, L"");
    } else {
      // A Send To link of an earlier install goes when it is declined now.
      if (removeUserLink(folders.sendTo, programLinkName()))
        setupLog(L"Link removed: " + folders.sendTo + programLinkName());
    }
  }

  const std::wstring settingsFile = installFolder + kSettingsFileName;
  if (choices.portable)
    writePortableSettings(settingsFile);
  else
    moveSettingsToUserFolder(settingsFile, folders.applicationData);
  return true;
}

}  // namespace tonvane
