#include "SilentInstall.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "DiskSpace.h"
#include "EarlierInstall.h"
#include "InstallFolder.h"
#include "InstallJob.h"
#include "NumberText.h"
#include "Paths.h"
#include "ProgramsInUse.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "Shortcuts.h"
#include "TranslationTable.h"
#include "UninstallRegistration.h"
#include "VersionInfo.h"

namespace tonvane {

namespace {

struct HelpLine {
  const wchar_t* option;
  const wchar_t* text;  // translation key
};

const HelpLine kHelpLines[] = {
    {L"/S", L"Install silently, without any window, with the default choices"},
    {L"/D=<folder>", L"Install into this folder (must come last)"},
    {L"/NoDesktop", L"Do not create the desktop shortcut"},
    {L"/NoStartMenu", L"Do not create the Start menu shortcuts"},
    {L"/SendTo", L"Create a shortcut in the Send To menu"},
    {L"/CurrentUser", L"Create the shortcuts for the current user only"},
    {L"/Portable", L"Install the portable configuration"},
    {L"/AllowDowngrade", L"Install even over a newer release (without it: exit code 1638)"},
    {L"/NoCloseApplications", L"Do not close programs that use the installed files (exit code 32 while they run)"},
    {L"/LOG=<file>", L"Write a setup log to this file"},
    {L"/lang:jpn", L"Use the Japanese interface"},
    {L"/?, /help", L"Show this message"},
};

std::wstring joined(const std::vector<std::wstring>& arguments) {
  std::wstring text;
  for (const std::wstring& argument : arguments) text += (text.empty() ? L"" : L" ") + argument;
  return text;
}

std::wstring startTime() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  return decimalText(now.wYear, 4) + L"-" + decimalText(now.wMonth, 2) + L"-" + decimalText(now.wDay, 2) + L" " +
         decimalText(now.wHour, 2) + L":" + decimalText(now.wMinute, 2) + L":" + decimalText(now.wSecond, 2);
}

}  // namespace

bool silentOptionsKnown(const SetupOptions& options) {
  for (const std::wstring& argument : options.unknown) setupLog(L"Unknown option: " + argument);
  return options.unknown.empty();
}

InstallChoices silentInstallChoices(const SetupOptions& options, const std::wstring& earlierFolder) {
  InstallChoices choices;
  choices.portable = options.portable;
  if (options.folderGiven)
    choices.installFolder = options.folder;
  else if (options.portable)
    choices.installFolder = portableDefaultFolder();
  else
    choices.installFolder = earlierFolder.empty() ? defaultFolder() : earlierFolder;
  choices.allUsers = !options.currentUser;
  choices.startMenuShortcut = !options.portable && !options.noStartMenu;
  choices.desktopShortcut = !options.portable && !options.noDesktop;
  choices.sendToShortcut = options.sendTo;
  return choices;
}

// Whether nothing holds a file the install writes, after the programs that
// did were asked to close (unless `keepPrograms`); what still does is
// named in the setup log.
static bool filesAreFree(const InstallChoices& choices, bool keepPrograms) {
  const std::vector<std::wstring> files = filesTheInstallWrites(choices);
  FilesInUse inUse = findFilesInUse(choices.installFolder, files);
  if (!inUse.programs.empty() && !keepPrograms) {
    setupLog(L"Asking to close, in use:\r\n" + filesInUseText(inUse));
    askProgramsToClose(inUse.programs, kProgramClosingTime);
    inUse = findFilesInUse(choices.installFolder, files);
  }
  if (inUse.empty()) return true;
  setupLog(L"Files in use, nothing changed:\r\n" + filesInUseText(inUse));
  return false;
}

ExitCode runSilentInstall(const SetupOptions& options) {
  const EarlierInstall earlier = findEarlierInstall();
  InstallChoices choices = silentInstallChoices(options, earlier.folder);
  // The folder page's own rule: a folder it would refuse is a failure here,
  // never a folder quietly chosen instead.
  const std::wstring normalized = normalizedInstallFolder(choices.installFolder);
  if (normalized.empty()) {
    setupLog(L"Install folder refused: \"" + choices.installFolder + L"\"");
    return ExitCode::SilentInvalidOption;
  }
  choices.installFolder = normalized;
  // Refusals come before the older releases go: a refused install leaves
  // the machine as it found it.
  VolumeSpace full;
  if (!installHasRoom(normalized, choices.portable, full)) return ExitCode::SilentNoDiskSpace;
  // A portable copy writes no entry and leaves the installed release alone.
  if (!choices.portable && earlier.release == InstalledRelease::Newer) {
    if (!options.allowDowngrade) {
      setupLog(L"Refused: a newer release is installed; /AllowDowngrade installs this older release over it");
      return ExitCode::SilentNewerInstalled;
    }
    setupLog(L"A newer release is installed; /AllowDowngrade: installing this older release over it");
  }

  if (!filesAreFree(choices, options.noCloseApplications)) return ExitCode::SilentFilesInUse;

  uninstallPreviousVersions(true);
  if (isExistingFolder(normalized)) setupLog(L"The install folder exists; installing over it");

  switch (runInstallJob(choices, InstallProgress())) {
    case InstallResult::Installed:
      setupLog(L"Installed");
      return ExitCode::SilentInstalled;
    case InstallResult::Cancelled:
      setupLog(L"Cancelled; nothing changed");
      return ExitCode::SilentCancelled;
    case InstallResult::Failed:
      break;
  }
  setupLog(L"Failed to install; everything it changed was undone");
  return ExitCode::SilentFailed;
}

std::wstring setupHelpText() {
  std::wstring text = translateText(L"Command-line options:") + L"\r\n\r\n";
  for (const HelpLine& line : kHelpLines)
    // The option on a line of its own: tab stops cannot line up options of
    // such different widths, and a long text wraps under its option.
    text += std::wstring(line.option) + L"\r\n      " + translateText(line.text) + L"\r\n";
  text += L"\r\n" + translateText(
                        L"Exit codes: 0 installed, 87 invalid option or folder, 112 not enough disk space, 1602 "
                        L"cancelled, 1603 failed (nothing changed), 1618 another setup is running");
  return text;
}

void showSetupHelp() { showSetupMessage(GetDesktopWindow(), setupHelpText(), MB_OK | MB_ICONINFORMATION); }

void logSetupStart(const SetupOptions& options) {
  VersionInfo& version = VersionInfo::shared();
  version.load(L"");
  version.translationKey = L"000004b0";
  setupLog(std::wstring(kSetupCaption) + L" " + version.productVersion() + L", started " + startTime());
  setupLog(std::wstring(L"Command line: ") + GetCommandLineW());
  setupLog(L"System language " + logHex(GetSystemDefaultLangID()) + L", user language " +
           logHex(GetUserDefaultLangID()) + L", user interface language " + logHex(GetUserDefaultUILanguage()) +
           L", ANSI code page " + decimalText(GetACP()) + L", OEM code page " + decimalText(GetOEMCP()));
  if (options.help) {
    setupLog(L"Run: the options' help");
  } else if (options.silent) {
    setupLog(L"Run: silent install");
  } else {
    setupLog(L"Run: wizard");
    if (!options.silentOnly.empty()) setupLog(L"Ignored without /S: " + joined(options.silentOnly));
    if (!options.unknown.empty()) setupLog(L"Ignored: " + joined(options.unknown));
  }
}

}  // namespace tonvane
