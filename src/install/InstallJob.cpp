#include "InstallJob.h"

#include <ctime>
#include <utility>
#include <vector>

#include "ArchiveForm.h"
#include "Extraction.h"
#include "FileFlusher.h"
#include "HeldPath.h"
#include "InstallTransaction.h"
#include "InstallFolder.h"
#include "InstallLog.h"
#include "NumberText.h"
#include "PathText.h"
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
  setupLog(L"Install folder: " + choices.installFolder + (choices.portable ? L" (portable" : L" (with uninstaller") +
           (choices.allUsers ? L", links for all users)" : L", links for the current user)") + L"; links: " +
           (links.empty() ? L"none" : links));
}

void logFolderRights(InstallFolderRights rights, bool portable) {
  const wchar_t* text = L"the folder could not be made";
  switch (rights) {
    case InstallFolderRights::Existing:
      text = L"an existing folder, left as it was";
      break;
    case InstallFolderRights::Inherited:
      text = portable ? L"made, inherited from the folder above (portable)"
                      : L"made, inherited from the program folder above";
      break;
    case InstallFolderRights::ProgramFolder:
      text =
          L"made with the program folders' rights: Administrators and SYSTEM full control, "
          L"Users read and execute, nothing inherited";
      break;
    case InstallFolderRights::NotMade:
    case InstallFolderRights::NoAccessList:
      break;
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
  if (writeUninstallEntry(entry,
                          [&gate](const wchar_t* value) { return gate.allows(std::wstring(L"registry ") + value); })) {
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

// Makes the install folder unless it is there, and says in the setup log
// what rights it got. The failed step, for the log, when there is no
// folder to install into; nullptr once there is.
const wchar_t* makeFolderForInstall(const InstallChoices& choices, InstallFolderRights& rights) {
  rights = makeInstallFolder(choices.installFolder, choices.portable);
  if (rights == InstallFolderRights::NoAccessList) return L"the install folder's access list could not be built";
  if (rights == InstallFolderRights::NotMade) return L"the install folder could not be made";
  logFolderRights(rights, choices.portable);
  return nullptr;
}

// How an archive's entries are written into the transaction: each beside
// its destination, flushed by `flusher` when the transaction wants each
// file flushed, and only while the gate allows.
StagedWrite stagedWriteInto(InstallTransaction& transaction, FileFlusher& flusher) {
  StepGate& gate = transaction.gate();
  return StagedWrite{[&transaction](const std::wstring& relative) { return transaction.stagedRelative(relative); },
                     transaction.flushesEachFile() ? &flusher : nullptr,
                     [&gate](const std::wstring& relative) { return gate.allows(L"write " + relative); }};
}

// The uninstaller staged as the setup carries it: the program as it is or,
// in a setup of the solid form, packed like the application (an archive of
// that form whose one entry is the uninstaller's file: a third of the
// bytes), and then read through the same pass and checks.
bool stageUninstaller(InstallTransaction& transaction) {
  const ResourceBytes carried = loadResource(ResourceId::kExe, IDR_UNINSTALLER);
  if (carried.size == 0) return false;
  const ArchiveForm& form = archiveFormOf(carried.data, carried.size);
  if (&form == &zipArchiveForm()) return transaction.stage(kUninstallerFileName, carried.data, carried.size);
  FileFlusher flusher;
  const StagedWrite staged = stagedWriteInto(transaction, flusher);
  std::vector<std::wstring> written;
  const bool whole = form.extract(carried.data, carried.size, transaction.folder(), written, &staged);
  if (!whole || written.size() != 1 ||
      lowerCase(written[0]) != lowerCase(transaction.folder() + kUninstallerFileName)) {
    setupLog(L"The uninstaller carried packed did not unpack to " + std::wstring(kUninstallerFileName) + L" alone");
    return false;
  }
  transaction.markStaged(kUninstallerFileName);
  return true;
}

// Every file of the archive staged beside its destination, each marked in
// the transaction and added to `installed`. True when every one of
// `archiveFiles` arrived: an install that lacks a file is no install.
bool stageApplicationFiles(const ResourceBytes& carried, std::size_t archiveFiles, const std::wstring& folder,
                           InstallTransaction& transaction, PathList& installed) {
  FileFlusher flusher;
  const StagedWrite staged = stagedWriteInto(transaction, flusher);
  // Read where the setup carries it, in its own mapped image: there is no
  // copy on disk for another program to change, and no file read back
  // through the system in small pieces.
  std::vector<std::wstring> written;
  const bool whole = extractArchiveFromMemory(carried.data, carried.size, folder, written, &staged);
  for (std::wstring& path : written) {
    path.erase(0, folder.size());
    transaction.markStaged(path);
  }
  installed.addNewFiles(folder, written);
  setupLog(L"Staged " + decimalText(written.size()) + L" of " + decimalText(archiveFiles) +
           L" files of the application");
  return whole && written.size() == archiveFiles;
}

// install.log (the earlier log's paths that still exist, then this run's)
// and, unless portable, the uninstaller, staged beside their names. The
// failed step, for the log; nullptr when both are staged.
const wchar_t* stageLogAndUninstaller(const InstallChoices& choices, const PathList& installed, std::size_t earlier,
                                      InstallTransaction& transaction) {
  const std::string logBytes = installLogBytes(installed);
  if (!transaction.stage(kInstallLogFileName, logBytes.data(), logBytes.size()))
    return L"install.log could not be written";
  setupLog(L"install.log: " + decimalText(earlier) + L" paths kept from the earlier log, " +
           decimalText(installed.size() - earlier) + L" added");
  if (!choices.portable) {
    if (!stageUninstaller(transaction)) return L"the uninstaller could not be written";
  }
  return nullptr;
}

// The transaction itself, in the install folder that exists now.
InstallResult installFiles(const InstallChoices& choices, const ResourceBytes& carried, bool folderMade, StepGate& gate,
                           const std::function<void(int)>& reached) {
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

  PathList installed;
  // An earlier install's files that still exist stay listed, first.
  loadInstallLog(folder + kInstallLogFileName, installed);
  const std::size_t earlier = installed.size();
  if (!stageApplicationFiles(carried, archiveFiles, folder, transaction, installed))
    return failed(L"the application's files did not arrive");
  reached(40);

  if (const wchar_t* step = stageLogAndUninstaller(choices, installed, earlier, transaction)) return failed(step);
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

InstallResult runInstallJob(const InstallChoices& choices, const InstallProgress& progress,
                            const volatile LONG* cancel) {
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

  // What killed runs left of their private folders (staged partner
  // installers) goes.
  removeStalePrivateFolders(kStagingFolderPrefix);
  const ResourceBytes carried = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
  if (carried.size == 0) return failed(L"the setup carries no application archive");

  // An install into this folder that was killed is finished first, so that
  // this one starts from a whole release.
  if (isExistingFolder(choices.installFolder) && !recoverInterruptedInstall(choices.installFolder))
    return failed(L"an interrupted install in the folder could not be finished");
  const std::vector<std::wstring> missing = missingFolders(choices.installFolder);
  InstallFolderRights rights = InstallFolderRights::NotMade;
  if (const wchar_t* step = makeFolderForInstall(choices, rights)) return failed(step);
  reached(20);

  const InstallResult result = installFiles(choices, carried, rights != InstallFolderRights::Existing, gate, reached);
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
