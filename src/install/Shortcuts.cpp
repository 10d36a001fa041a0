#include "Shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include "Paths.h"
#include "PathText.h"
#include "Resources.h"
#include "ShellLink.h"
#include "TranslationTable.h"
#include "UninstallRegistration.h"
#include "VendorSite.h"

namespace tonvane {

namespace {

std::wstring folderWithBackslash(int csidl) {
  return ensureTrailingBackslash(specialFolderPath(csidl));
}

std::wstring programLinkName() { return std::wstring(kProductName) + L".lnk"; }

void writePortableSettings(const std::wstring& settingsFile) {
  const ResourceBytes settingsTemplate = loadResource(ResourceId::kText, IDR_SETTINGS_TEMPLATE);
  // Without its template the program must not empty a settings file that
  // is already there.
  if (settingsTemplate.size == 0) return;
  writeResourceToFile(settingsTemplate, settingsFile);
}

void moveSettingsToUserFolder(const std::wstring& settingsFile, const std::wstring& applicationData) {
  if (applicationData.empty() || !isExistingFile(settingsFile)) return;
  // Neither the folder is made nor a file there replaced: without both the
  // move fails and the application keeps its settings where they are.
  MoveFileW(settingsFile.c_str(),
            (applicationData + kUserSettingsFolder + kSettingsFileName).c_str());
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

  if (choices.startMenuShortcut && !folders.programs.empty()) {
    const std::wstring group = folders.programs + kProductName + L"\\";
    ensureFolder(group);
    createShortcut(program, group + programLinkName(), description, L"");
    createShortcut(helpAddress(), group + translateText(L"Online help") + L".lnk", L"", L"");
    // The portable configuration has no uninstaller.
    if (!choices.portable)
      createShortcut(uninstaller, group + translateText(L"Uninstall") + L".lnk", L"",
                     L"/Uninstall");
  }

  if (choices.desktopShortcut && !folders.desktop.empty()) {
    ensureFolder(folders.desktop);
    createShortcut(program, folders.desktop + programLinkName(), description, L"");
  }

  if (!folders.sendTo.empty()) {
    if (choices.sendToShortcut) {
      ensureFolder(folders.sendTo);
      createShortcut(program, folders.sendTo + programLinkName(), description, L"");
    } else {
      // A Send To link of an earlier install goes when it is declined now.
      deleteFileOrShellDelete(folders.sendTo + programLinkName());
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
