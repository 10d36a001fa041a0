#include "InstallJob.h"

#include <ctime>
#include <utility>
#include <vector>

#include "Extraction.h"
#include "FileHandle.h"
#include "InstallFolder.h"
#include "InstallLog.h"
#include "NumberText.h"
#include "Paths.h"
#include "Resources.h"
#include "SetupLog.h"
#include "Shortcuts.h"
#include "PrivateFolder.h"
#include "UninstallRegistration.h"
#include "VendorSite.h"
#include "VersionInfo.h"

namespace tonvane {

namespace {

// A payload resource written to a file. A missing resource counts as a
// failure here: writeResourceToFile would leave an empty file and succeed,
// and an empty uninstaller or archive is no install.
bool writePayload(const wchar_t* type, unsigned id, const std::wstring& path) {
  const ResourceBytes payload = loadResource(type, id);
  if (payload.size == 0) return false;
  return writeResourceToFile(payload, path);
}

// A staging folder the job made for itself is held by the job and goes
// with it; one it was given belongs to the caller.
class OwnStagingFolder {
 public:
  explicit OwnStagingFolder(const std::wstring& given) {
    if (!given.empty())
      path_ = ensureTrailingBackslash(given);
    else if (own_.create())
      path_ = own_.path();
  }

  const std::wstring& path() const { return path_; }

 private:
  PrivateFolder own_;
  std::wstring path_;
};

// What the installed files take on disk, in kilobytes rounded up, for the
// size the system's list of programs shows.
std::uint32_t installedKilobytes(const std::vector<std::wstring>& paths) {
  std::uint64_t bytes = 0;
  for (const std::wstring& path : paths) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    bytes += (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  }
  const std::uint64_t kilobytes = (bytes + 1023) / 1024;
  return kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kilobytes);
}

// The step the install stopped at, for the setup log; the job's result.
bool failed(const wchar_t* step) {
  setupLog(std::wstring(L"Install failed: ") + step);
  return false;
}

void logChoices(const InstallChoices& choices) {
  std::wstring links;
  const auto add = [&links](bool chosen, const wchar_t* name) {
    if (chosen) links += (links.empty() ? L"" : L", ") + std::wstring(name);
  };
  add(choices.startMenuShortcut, L"Start menu");
  add(choices.desktopShortcut, L"desktop");
  add(choices.sendToShortcut, L"Send To");
  setupLog(L"Install folder: " + choices.installFolder +
           (choices.portable ? L" (portable" : L" (with uninstaller") +
           (choices.allUsers ? L", links for all users)" : L", links for the current user)") +
           L"; links: " + (links.empty() ? L"none" : links));
}

void logFolderRights(InstallFolderRights rights, bool portable) {
  const wchar_t* text = L"the folder could not be made";
  switch (rights) {
    case InstallFolderRights::Existing: text = L"an existing folder, left as it was"; break;
    case InstallFolderRights::Inherited:
      text = portable ? L"made, inherited from the folder above (portable)"
                      : L"made, inherited from the program folder above";
      break;
    case InstallFolderRights::ProgramFolder:
      text = L"made with the program folders' rights: Administrators and SYSTEM full control, "
             L"Users read and execute, nothing inherited";
      break;
    case InstallFolderRights::NotMade:
    case InstallFolderRights::NoAccessList: break;
  }
  setupLog(std::wstring(L"Install folder rights: ") + text);
}

void registerProduct(const InstallChoices& choices, const std::wstring& folder,
                     std::vector<std::wstring> installedFiles) {
  VersionInfo& version = VersionInfo::shared();
  version.load(L"");  // without a version resource the entry has no version
  version.translationKey = L"000004b0";

  UninstallEntry entry = makeUninstallEntry(kProductName);
  entry.displayIcon = folder + kProgramFileName;
  entry.uninstallString = L"\"" + folder + kUninstallerFileName + L"\" /Uninstall";
  entry.quietUninstallString = entry.uninstallString + L" /S";
  installedFiles.push_back(folder + kUninstallerFileName);
  installedFiles.push_back(folder + kInstallLogFileName);
  entry.estimatedSizeKb = installedKilobytes(installedFiles);
  entry.noModify = 1;
  entry.noRepair = 1;
  entry.displayName = kProductName;
  entry.displayVersion = version.productVersion();
  entry.installLocation = choices.installFolder;
  entry.helpLink = vendorSite() + L"services/tidewhistle/";
  entry.installSource = folderOfPath(L"");
  entry.publisher = kPublisher;
  entry.urlInfoAbout = vendorSite();
  if (writeUninstallEntry(entry))
    setupLog(L"Uninstall entry HKEY_LOCAL_MACHINE\\" + std::wstring(kUninstallRoot) + entry.keyName +
             L" written, version " + entry.displayVersion);
  else
    setupLog(L"Uninstall entry " + entry.keyName + L" could not be written");
}

}  // namespace

bool runInstallJob(const InstallChoices& choices, const std::wstring& stagingFolder,
                   const InstallProgress& progress) {
  const auto reached = [&progress](int position) {
    if (progress) progress(position);
  };
  reached(0);
  logChoices(choices);

  // Declared before the archive, so the archive is deleted before its folder.
  OwnStagingFolder staging(stagingFolder);
  if (staging.path().empty()) return failed(L"no staging folder could be made");
  // A failed run leaves no copy of the archive in the staging folder either.
  FileDeletedOnExit archive(staging.path() + kArchiveFileName);
  if (!writePayload(ResourceId::kZip, IDR_APPLICATION_ARCHIVE, archive.path()))
    return failed(L"the archive could not be written to the staging folder");
  // Held against writes and deletion until it is extracted, and checked
  // against the bytes the setup carries: an archive swapped in the temporary
  // folder is never extracted by this elevated program.
  const ResourceBytes carried = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
  FileHandle heldArchive;
  if (!heldArchive.open(archive.path(), true, false, true, false) ||
      !fileHoldsResource(heldArchive, carried))
    return failed(L"the staged archive does not hold the setup's bytes");
  reached(20);

  const InstallFolderRights rights = makeInstallFolder(choices.installFolder, choices.portable);
  if (rights == InstallFolderRights::NoAccessList)
    return failed(L"the install folder's access list could not be built");
  logFolderRights(rights, choices.portable);

  const std::wstring folder = ensureTrailingBackslash(choices.installFolder);
  const std::wstring logPath = folder + kInstallLogFileName;
  PathList installed;
  // An earlier install's files that still exist stay listed, first.
  loadInstallLog(logPath, installed);
  const std::size_t earlier = installed.size();
  std::vector<std::wstring> written;
  // The staged file holds exactly the carried bytes (checked above, and held
  // since), so those are what is read: from the setup's own mapped image,
  // not a file read back through the system in the small pieces the
  // archive reader asks for.
  const bool extracted =
      extractArchiveFromMemory(carried.data, carried.size, choices.installFolder, written);
  for (const std::wstring& path : written) addExistingPath(installed, path);
  setupLog(L"Extracted " + decimalText(written.size()) + L" files" +
           (extracted ? L"" : L"; not every entry could be extracted"));
  const bool saved = saveInstallLog(installed, logPath);
  setupLog(L"install.log: " + decimalText(earlier) + L" paths kept from the earlier log, " +
           decimalText(installed.size() - earlier) + L" added, " + decimalText(installed.size()) +
           (saved ? L" saved" : L" listed but the file could not be saved"));
  reached(40);

  heldArchive.close();
  archive.remove();
  // Nothing of the application arrived (an archive that cannot be read, a
  // folder that takes no files): without this the portable configuration,
  // which writes no uninstaller, would report an empty install as done.
  if (!extracted || written.empty()) return failed(L"the application's files did not arrive");
  reached(60);

  if (!choices.portable &&
      !writePayload(ResourceId::kExe, IDR_UNINSTALLER, folder + kUninstallerFileName))
    return failed(L"the uninstaller could not be written");
  reached(80);

  if (!choices.portable) registerProduct(choices, folder, installed.paths());
  reached(100);
  return true;
}

}  // namespace tonvane
