#include "InstallJob.h"

#include <ctime>
#include <utility>
#include <vector>

#include "Extraction.h"
#include "FileFlusher.h"
#include "FileHandle.h"
#include "HeldPath.h"
#include "InstallTransaction.h"
#include "InstallFolder.h"
#include "InstallLog.h"
#include "NumberText.h"
#include "Paths.h"
#include "ProductIdentity.h"
#include "Resources.h"
#include "SetupLog.h"
#include "Shortcuts.h"
#include "PrivateFolder.h"
#include "UninstallRegistration.h"
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
    else if (own_.create(kStagingFolderPrefix))
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

// The entry that describes the install, written inside the transaction:
// its values as they were come back with a failed install.
bool registerProduct(const InstallChoices& choices, const std::wstring& folder,
                     std::vector<std::wstring> installedFiles, InstallTransaction& transaction) {
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

  const RegistrySnapshot earlier = snapshotUninstallEntry(entry.keyName);
  if (!earlier.complete) {
    setupLog(L"Uninstall entry " + entry.keyName + L" cannot be read whole, so it could not be put back");
    return false;
  }
  const std::wstring keyName = entry.keyName;
  transaction.addUndo([keyName, earlier] {
    setupLog((restoreUninstallEntry(keyName, earlier) ? L"Uninstall entry put back: "
                                                      : L"Uninstall entry could not be put back: ") +
             keyName);
  });
  StepGate& gate = transaction.gate();
  if (writeUninstallEntry(entry, [&gate](const wchar_t* value) { return gate.allows(std::wstring(L"registry ") + value); })) {
    setupLog(L"Uninstall entry HKEY_LOCAL_MACHINE\\" + std::wstring(kUninstallRoot) + entry.keyName +
             L" written, version " + entry.displayVersion);
    return true;
  }
  setupLog(L"Uninstall entry " + entry.keyName + L" could not be written");
  return false;
}

// The folders on the way to the install folder that do not exist yet,
// deepest first: what a failed first install takes away again.
std::vector<std::wstring> missingFolders(const std::wstring& folder) {
  std::vector<std::wstring> missing;
  std::wstring path = removeTrailingBackslash(folder);
  while (path.size() > 3 && !isExistingPath(path)) {
    missing.push_back(path);
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) break;
    path = path.substr(0, slash);
  }
  return missing;
}

void removeEmptyFolders(const std::vector<std::wstring>& deepestFirst) {
  for (const std::wstring& path : deepestFirst) {
    HeldPath folder;
    if (!isExistingPath(path)) continue;
    if (!folder.open(path, HeldPath::Access::Delete) || !folder.isFolder() || folder.isReparsePoint() ||
        !folder.remove())
      return;
    setupLog(L"Folder removed: " + path);
  }
}

// The transaction's plan from the archive: every folder on the way, parents
// first, whether the archive names it or not, and every file; `files`
// counts the files.
bool planFromArchive(const ResourceBytes& archive, InstallTransaction& transaction, std::size_t& files) {
  std::vector<std::wstring> entries;
  if (!listArchiveEntries(archive.data, archive.size, entries)) return false;
  for (const std::wstring& entry : entries) {
    for (std::size_t slash = entry.find(L'\\'); slash != std::wstring::npos; slash = entry.find(L'\\', slash + 1))
      transaction.planFolder(entry.substr(0, slash));
    if (entry.back() == L'\\') continue;
    transaction.planFile(entry);
    ++files;
  }
  return true;
}

// The transaction itself, in the install folder that exists now.
InstallResult installFiles(const InstallChoices& choices, const ResourceBytes& carried, bool folderMade,
                           StepGate& gate, const std::function<void(int)>& reached,
                           const std::function<void()>& extracted) {
  const std::wstring folder = ensureTrailingBackslash(choices.installFolder);
  const auto failed = [&gate](const wchar_t* step) {
    setupLog(std::wstring(L"Install failed: ") + step);
    return gate.wasCancelled() ? InstallResult::Cancelled : InstallResult::Failed;
  };

  InstallTransaction transaction(folder, folderMade, gate);
  std::size_t archiveFiles = 0;
  if (!planFromArchive(carried, transaction, archiveFiles))
    return failed(L"the archive names a file outside the install folder");
  if (!choices.portable) transaction.planFile(kUninstallerFileName);
  transaction.planFile(kInstallLogFileName);
  if (!transaction.begin()) return failed(L"the install could not begin");

  const std::wstring logPath = folder + kInstallLogFileName;
  PathList installed;
  // An earlier install's files that still exist stay listed, first.
  loadInstallLog(logPath, installed);
  const std::size_t earlier = installed.size();
  std::vector<std::wstring> written;
  FileFlusher flusher;
  const StagedWrite staged{[&transaction](const std::wstring& relative) { return transaction.stagedRelative(relative); },
                           transaction.flushesEachFile() ? &flusher : nullptr,
                           [&gate](const std::wstring& relative) {
                             return gate.allows(L"write " + relative);
                           }};
  // The staged archive holds exactly the carried bytes (checked, and held
  // since), so those are what is read: from the setup's own mapped image,
  // not a file read back through the system in small pieces.
  const bool whole = extractArchiveFromMemory(carried.data, carried.size, folder, written, &staged);
  extracted();
  for (std::wstring& path : written) {
    path.erase(0, folder.size());
    transaction.markStaged(path);
  }
  installed.addNewFiles(folder, written);
  setupLog(L"Staged " + decimalText(written.size()) + L" of " + decimalText(archiveFiles) +
           L" files of the application");
  // Nothing is skipped: an install that lacks a file is no install.
  if (!whole || written.size() != archiveFiles) return failed(L"the application's files did not arrive");
  reached(40);

  const std::string logBytes = installLogBytes(installed);
  if (!transaction.stage(kInstallLogFileName, logBytes.data(), logBytes.size()))
    return failed(L"install.log could not be written");
  setupLog(L"install.log: " + decimalText(earlier) + L" paths kept from the earlier log, " +
           decimalText(installed.size() - earlier) + L" added");
  if (!choices.portable) {
    const ResourceBytes uninstaller = loadResource(ResourceId::kExe, IDR_UNINSTALLER);
    if (uninstaller.size == 0 || !transaction.stage(kUninstallerFileName, uninstaller.data, uninstaller.size))
      return failed(L"the uninstaller could not be written");
  }
  reached(60);

  if (!transaction.switchFiles()) return failed(L"the new files could not be put in place");
  reached(80);

  if (!choices.portable && !registerProduct(choices, folder, installed.paths(), transaction))
    return failed(L"the uninstall entry could not be written");
  if (!createShortcutsAndSettings(choices, shellFolders(choices.allUsers), &transaction))
    return failed(L"a link or the settings file could not be made");
  transaction.commit();
  return InstallResult::Installed;
}

}  // namespace

InstallResult runInstallJob(const InstallChoices& choices, const std::wstring& stagingFolder,
                            const InstallProgress& progress, const volatile LONG* cancel) {
  const auto reached = [&progress](int position) {
    if (progress) progress(position);
  };
  reached(0);
  logChoices(choices);
  StepGate gate(cancel);
  const auto failed = [&gate](const wchar_t* step) {
    setupLog(std::wstring(L"Install failed: ") + step);
    return gate.wasCancelled() ? InstallResult::Cancelled : InstallResult::Failed;
  };

  removeStalePrivateFolders(kStagingFolderPrefix);
  // Declared before the archive, so the archive is deleted before its folder.
  OwnStagingFolder staging(stagingFolder);
  if (staging.path().empty()) return failed(L"no staging folder could be made");
  // A failed run leaves no copy of the archive in the staging folder either.
  FileDeletedOnExit archive(staging.path() + kArchiveFileName);
  if (!gate.allows(L"stage the archive") || !writePayload(ResourceId::kZip, IDR_APPLICATION_ARCHIVE, archive.path()))
    return failed(L"the archive could not be written to the staging folder");
  // Held against writes and deletion until it is extracted, and checked
  // against the bytes the setup carries: an archive swapped in the temporary
  // folder is never extracted by this elevated program.
  const ResourceBytes carried = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
  FileHandle heldArchive;
  if (!heldArchive.openHeldForReading(archive.path()) ||
      !fileHoldsResource(heldArchive, carried))
    return failed(L"the staged archive does not hold the setup's bytes");
  reached(20);

  // An install into this folder that was killed is finished first, so that
  // this one starts from a whole release.
  if (isExistingFolder(choices.installFolder) && !recoverInterruptedInstall(choices.installFolder))
    return failed(L"an interrupted install in the folder could not be finished");

  const std::vector<std::wstring> missing = missingFolders(choices.installFolder);
  const InstallFolderRights rights = makeInstallFolder(choices.installFolder, choices.portable);
  if (rights == InstallFolderRights::NoAccessList)
    return failed(L"the install folder's access list could not be built");
  if (rights == InstallFolderRights::NotMade) return failed(L"the install folder could not be made");
  logFolderRights(rights, choices.portable);

  // The staged archive is not needed once the files are extracted.
  const auto archiveDone = [&heldArchive, &archive] {
    heldArchive.close();
    archive.remove();
  };
  const InstallResult result =
      installFiles(choices, carried, rights != InstallFolderRights::Existing, gate, reached, archiveDone);
  if (result != InstallResult::Installed) {
    // The install folder went with the roll-back; the folders made above it
    // go too.
    removeEmptyFolders(missing);
    if (gate.wasCancelled()) setupLog(L"Install cancelled, everything it changed undone");
    return gate.wasCancelled() ? InstallResult::Cancelled : result;
  }
  reached(100);
  setupLog(L"Install committed");
  return InstallResult::Installed;
}

std::vector<std::wstring> filesTheInstallWrites(const InstallChoices& choices) {
  const std::wstring folder = ensureTrailingBackslash(choices.installFolder);
  const ResourceBytes carried = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
  std::vector<std::wstring> entries;
  listArchiveEntries(carried.data, carried.size, entries);
  std::vector<std::wstring> files;
  for (const std::wstring& entry : entries)
    if (entry.back() != L'\\') files.push_back(folder + entry);
  files.push_back(folder + kInstallLogFileName);
  if (!choices.portable) files.push_back(folder + kUninstallerFileName);
  return files;
}

}  // namespace tonvane
