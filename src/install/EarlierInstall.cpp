#include "EarlierInstall.h"

#include <windows.h>

#include "InstallFolder.h"
#include "RegistryKey.h"
#include "SetupLog.h"
#include "TranslationTable.h"
#include "UninstallRegistration.h"
#include "VersionInfo.h"

namespace tonvane {

namespace {

constexpr const wchar_t* kOlderReleaseQuestion =
    L"A newer release of Tonvane Free is installed (%s). Do you want to install this older release over it?";

const wchar_t* releaseText(InstalledRelease release) {
  switch (release) {
    case InstalledRelease::Older:
      return L"older than this setup: an upgrade";
    case InstalledRelease::Same:
      return L"the same as this setup: installed over again";
    case InstalledRelease::Newer:
      return L"newer than this setup";
    case InstalledRelease::Unknown:
      break;
  }
  return L"not a version this setup can compare: installed over as any earlier release";
}

// A value of the entry as a log line may hold it: any program may have
// written it, so line breaks and other controls cannot start lines of their
// own, and a value of megabytes is cut short.
std::wstring loggable(const std::wstring& value) {
  constexpr std::size_t kShown = 300;
  std::wstring text = value.substr(0, kShown);
  for (wchar_t& c : text)
    if (c < 0x20 || c == 0x7F) c = L'?';
  return value.size() > kShown ? text + L"..." : text;
}

}  // namespace

std::wstring setupVersion() {
  // A reader of its own: the shared one is also read by the install job's
  // thread.
  VersionInfo own;
  own.load(L"");
  own.translationKey = L"000004b0";
  return own.productVersion();
}

EarlierInstall findEarlierInstall() {
  EarlierInstall earlier;
  RegistryKey key;
  const std::wstring keyPath = std::wstring(kUninstallRoot) + kProductName;
  if (key.open(HKEY_LOCAL_MACHINE, keyPath, KEY_READ) != ERROR_SUCCESS) {
    setupLog(L"Earlier install: no uninstall entry " + std::wstring(kProductName) +
             L"; the default folder is proposed");
    return earlier;
  }
  earlier.found = true;
  // A value of another type or without its terminator reads as absent.
  queryStringGrowing(key, L"InstallLocation", earlier.location);
  queryStringGrowing(key, L"DisplayVersion", earlier.version);
  key.close();
  earlier.folder = earlierInstallFolder(earlier.location);
  const std::wstring ours = setupVersion();
  earlier.release = compareInstalledRelease(earlier.version, ours);

  setupLog(L"Earlier install: uninstall entry " + std::wstring(kProductName) + L" found, InstallLocation \"" +
           loggable(earlier.location) + L"\", DisplayVersion \"" + loggable(earlier.version) + L"\"");
  setupLog(earlier.folder.empty()
               ? L"Earlier install folder not used (not a full path on a drive that the folder page accepts); "
                 L"the default folder is proposed"
               : L"Earlier install folder proposed: " + earlier.folder);
  setupLog(L"Installed release \"" + loggable(earlier.version) + L"\" against this setup's " + ours + L": " +
           releaseText(earlier.release));
  return earlier;
}

std::wstring proposedInstallFolder(const EarlierInstall& earlier) {
  return earlier.folder.empty() ? defaultFolder() : earlier.folder;
}

std::wstring olderReleaseQuestion(const EarlierInstall& earlier) {
  std::wstring text = translateText(kOlderReleaseQuestion);
  const std::size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, earlier.version);
  return text;
}

}  // namespace tonvane
