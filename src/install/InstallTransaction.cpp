#include "InstallTransaction.h"

#include <algorithm>
#include <map>
#include <utility>

#include "FileHandle.h"
#include "NumberText.h"
#include "PathText.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "SetupLog.h"

namespace tonvane {

namespace {

std::wstring comparedKey(const std::wstring& relative) { return lowerCase(relative); }

StepFault& stepFault() {
  static StepFault fault;
  return fault;
}

// The folder part of a relative path, "" or "a\b\".
std::wstring folderPart(const std::wstring& relative) {
  const std::size_t slash = relative.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash + 1);
}

using FolderSet = std::unordered_set<std::wstring>;

FolderSet comparedSet(const std::vector<std::wstring>& folders) {
  FolderSet set;
  for (const std::wstring& folder : folders) set.insert(comparedKey(folder));
  return set;
}

// The folder made by the install that a path lies in at the top ("bin" for
// "bin\x\a.dll" when the install makes "bin"), or "" for none.
std::wstring topNewFolderOf(const std::wstring& relative, const FolderSet& newFolders) {
  for (std::size_t slash = relative.find(L'\\'); slash != std::wstring::npos; slash = relative.find(L'\\', slash + 1))
    if (newFolders.count(comparedKey(relative.substr(0, slash))) != 0) return relative.substr(0, slash);
  return std::wstring();
}

// Where a path's new bytes are staged: inside its top new folder's staged
// copy, so that the whole folder moves in with one rename ("bin\x\a.dll"
// -> "bin.tonvane-new\x\a.dll"); otherwise beside itself. A folder
// ("a\b\") outside the new ones is made where it is.
std::wstring stagedRelativeIn(const std::wstring& relative, const FolderSet& newFolders) {
  const std::wstring top = topNewFolderOf(relative, newFolders);
  if (!top.empty()) return top + kStagedSuffix + relative.substr(top.size());
  if (!relative.empty() && relative.back() == L'\\') return relative;
  return relative + kStagedSuffix;
}

// The folders staged whole: those made by the install whose parent is not.
std::vector<std::wstring> topNewFolders(const std::vector<std::wstring>& folders, const FolderSet& newFolders) {
  std::vector<std::wstring> tops;
  for (const std::wstring& folder : folders)
    if (topNewFolderOf(folder + L"\\", newFolders) == folder) tops.push_back(folder);
  return tops;
}

// The staged names of the folders made by the install, parents first.
std::vector<std::wstring> stagedFolders(const std::vector<std::wstring>& folders, const FolderSet& newFolders) {
  std::vector<std::wstring> staged;
  for (const std::wstring& folder : folders) {
    std::wstring path = stagedRelativeIn(folder + L"\\", newFolders);
    path.pop_back();
    staged.push_back(path);
  }
  return staged;
}

bool writeWhole(FileHandle& file, const void* bytes, std::size_t count, bool flush) {
  const bool whole = (count == 0 || file.writeAll(bytes, count)) && (!flush || FlushFileBuffers(file.get()));
  if (!whole) deleteThroughHandle(file.get());
  file.close();
  return whole;
}

bool moveDurably(const std::wstring& from, const std::wstring& to, bool replace = false) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)) !=
         FALSE;
}

// The folders of an install, each held from the install folder down while
// files move in them: a folder renamed away and replaced by a junction
// between two moves would take the next move elsewhere.
class FolderHolds {
 public:
  explicit FolderHolds(std::wstring root) : root_(std::move(root)) {}

  // The final path of `relativeFolder` ("" or "a\b\"), with a trailing
  // backslash; "" when a step is missing, a link, or not where it must be.
  std::wstring finalFolder(const std::wstring& relativeFolder) {
    const std::wstring key = comparedKey(relativeFolder);
    const auto found = held_.find(key);
    if (found != held_.end()) return found->second.finalPath;
    Held held;
    if (holdFolderSteps(root_, relativeFolder, held.steps) && !held.steps.back().finalPath().empty())
      held.finalPath = ensureTrailingBackslash(held.steps.back().finalPath());
    return held_.emplace(key, std::move(held)).first->second.finalPath;
  }

  void clear() { held_.clear(); }

 private:
  struct Held {
    std::vector<HeldPath> steps;
    std::wstring finalPath;
  };
  std::wstring root_;
  std::map<std::wstring, Held> held_;
};

// What is at `relative` (+ suffix) in the folder: absent, a file lying
// exactly there, or something that must not be touched (a folder, a link,
// a name that leads elsewhere).
enum class Found { Nothing, File, Foreign };

Found look(FolderHolds& folders, const std::wstring& root, const std::wstring& relative, HeldPath& file) {
  const std::wstring path = root + relative;
  if (!isExistingPath(path)) return Found::Nothing;
  const std::wstring finalFolder = folders.finalFolder(folderPart(relative));
  if (finalFolder.empty() || !file.open(path, HeldPath::Access::Delete)) return Found::Foreign;
  if (file.isFolder() || !file.isAt(finalFolder + relative.substr(folderPart(relative).size()))) {
    file.close();
    return Found::Foreign;
  }
  return Found::File;
}

// Deletes the file at `relative` when it lies there; true when nothing is
// there (any more).
bool removeIfThere(FolderHolds& folders, const std::wstring& root, const std::wstring& relative) {
  HeldPath file;
  switch (look(folders, root, relative, file)) {
    case Found::Nothing:
      return true;
    case Found::Foreign:
      setupLog(L"Left alone, not a file of the install folder: " + root + relative);
      return false;
    case Found::File:
      break;
  }
  if (file.remove()) return true;
  setupLog(L"Could not delete " + root + relative);
  return false;
}

// A rename inside a folder that is held (so it stays where its final path
// says) and in which a link at a name is renamed as the link itself, never
// followed: no handle of the file is needed, which for thousands of files
// is most of the switch's time.
bool moveChecked(FolderHolds& folders, const std::wstring& root, const std::wstring& from, const std::wstring& to) {
  if (folders.finalFolder(folderPart(from)).empty() || !isExistingFile(root + from)) return false;
  if (moveDurably(root + from, root + to)) return true;
  setupLog(L"Could not move " + root + from + L" to " + to);
  return false;
}

// A backup this run made, deleted by its name inside its held folder:
// DeleteFileW takes what stands at the name (a link itself, never what it
// leads to) and refuses a folder. For thousands of backups this is one
// call each where a check through a handle of its own would be five.
bool deleteOwnBackup(FolderHolds& folders, const std::wstring& root, const std::wstring& relative) {
  if (folders.finalFolder(folderPart(relative)).empty()) return false;
  if (DeleteFileW((root + relative).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
  setupLog(L"Could not delete " + root + relative);
  return false;
}

// A folder staged whole into its place, in one move: a plain folder at the
// staged name, nothing at its own. Windows refuses to rename a folder while
// a file in it is open (a virus scanner looking at what was just written),
// so the move is tried again for a while.
bool moveFolderIn(FolderHolds& folders, const std::wstring& root, const std::wstring& relative) {
  const std::wstring from = root + relative + kStagedSuffix;
  if (folders.finalFolder(folderPart(relative)).empty() || !isExistingFolder(from) ||
      pathHasAttributes(from, FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  for (int attempt = 0;; ++attempt) {
    if (moveDurably(from, root + relative)) return true;
    const DWORD error = GetLastError();
    if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) break;
    Sleep(100);
  }
  setupLog(L"Could not move " + from + L" to " + relative);
  return false;
}

// Folders the install made, deepest first, each only when empty and a
// plain folder where it must be.
bool removeFolders(const std::wstring& root, const std::vector<std::wstring>& folders) {
  bool whole = true;
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    std::vector<HeldPath> steps;
    if (!holdFolderSteps(root, folderPart(*it), steps)) continue;
    HeldPath folder;
    const std::wstring path = root + *it;
    if (!isExistingPath(path)) continue;
    if (!folder.open(path, HeldPath::Access::Delete) || !folder.isFolder() ||
        !folder.isAt(ensureTrailingBackslash(steps.back().finalPath()) + it->substr(folderPart(*it).size()))) {
      whole = false;
      continue;
    }
    // A folder that is not empty holds something that is not ours: it stays.
    if (!folder.remove()) setupLog(L"Folder kept, not empty: " + path);
  }
  return whole;
}

// The install folder itself, made by the install: gone when empty.
void removeInstallFolder(const std::wstring& folder) {
  std::wstring path = folder;
  if (path.size() > 3) path.pop_back();
  HeldPath held;
  if (!held.open(path, HeldPath::Access::Delete) || !held.isFolder() || held.isReparsePoint()) return;
  if (held.remove()) setupLog(L"Install folder removed: " + folder);
}

bool endsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && lowerCase(text.substr(text.size() - end.size())) == lowerCase(end);
}

// A path the transaction may plan and a journal may name: not the journal
// itself, nor one of the transaction's own temporary names, which a planted
// journal could otherwise have moved over a file of the install.
bool isPlannablePath(const std::wstring& relative) {
  return isJournalPath(relative) && lowerCase(relative) != lowerCase(kJournalFileName) &&
         !endsWith(relative, kStagedSuffix) && !endsWith(relative, kBackupSuffix);
}

bool namesOnlyPlannablePaths(const Journal& journal) {
  for (const JournalFile& file : journal.files)
    if (!isPlannablePath(file.path)) return false;
  for (const std::wstring& folder : journal.folders)
    if (!isPlannablePath(folder)) return false;
  return true;
}

// The data of every staged file must be on the disk itself before any old
// file is moved aside: otherwise a power cut after the switch could leave
// the new names with empty files and the old ones gone. One flush of the
// volume (which an administrator may ask for) does for thousands of files
// what a flush of each would do at the cost of one disk write each. The
// volume is kept only when a flush of it works now: where it does not,
// each file is flushed while its writer still has it open.
KernelHandle flushableVolumeOf(const std::wstring& folder) {
  wchar_t mountPoint[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(folder.c_str(), mountPoint, MAX_PATH + 1)) return KernelHandle();
  wchar_t volume[MAX_PATH + 1] = {};
  std::wstring device;
  if (GetVolumeNameForVolumeMountPointW(mountPoint, volume, MAX_PATH + 1))
    device = volume;  // "\\?\Volume{...}\"
  else if (mountPoint[0] != L'\0' && mountPoint[1] == L':')
    device = std::wstring(L"\\\\.\\") + mountPoint[0] + L":";
  else
    return KernelHandle();
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  KernelHandle handle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  if (!handle.valid() || !FlushFileBuffers(handle.get())) return KernelHandle();
  return handle;
}

bool flushFile(const std::wstring& path) {
  // Opened as it is, never emptied.
  KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && FlushFileBuffers(file.get());
}

// The final path of the file this program runs from: the uninstaller runs
// from the install folder, and a running program's file can be renamed but
// not deleted until the program ends.
std::wstring thisProgramsFile() {
  HeldPath self;
  return self.open(modulePath(), HeldPath::Access::Look) ? self.finalPath() : std::wstring();
}

bool isFileAt(const std::wstring& path, const std::wstring& finalPath) {
  HeldPath file;
  return file.open(path, HeldPath::Access::Look) && sameFinalPath(file.finalPath(), finalPath);
}

std::wstring phaseName(JournalPhase phase) {
  switch (phase) {
    case JournalPhase::Staging:
      return L"Staging";
    case JournalPhase::Switching:
      return L"Switching";
    case JournalPhase::RollingBack:
      return L"RollingBack";
  }
  return L"?";
}

}  // namespace

void setStepFault(StepFault fault) { stepFault() = std::move(fault); }

bool StepGate::allows(const std::wstring& step) {
  if (cancelled_ != nullptr && *cancelled_ != 0) {
    if (!cancelledSeen_) setupLog(L"Cancelled before: " + step);
    cancelledSeen_ = true;
    return false;
  }
  if (stepFault() && stepFault()(step)) {
    setupLog(L"Step failed: " + step);
    return false;
  }
  return true;
}

bool replaceFileWithBytes(const std::wstring& path, const void* bytes, std::size_t count) {
  // Windows refuses to replace a read-only file, and so do we, everywhere;
  // a link at the name would take the new bytes to its target.
  if (pathHasAttributes(path, FILE_ATTRIBUTE_READONLY) || pathHasAttributes(path, FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  const std::wstring staged = path + kStagedSuffix;
  if (isExistingPath(staged)) {
    HeldPath earlier;
    if (!earlier.open(staged, HeldPath::Access::Delete) || earlier.isFolder() || !earlier.remove()) return false;
  }
  FileHandle file;
  if (!file.createNew(staged, nullptr)) return false;
  // On the disk itself before it takes the name: a power cut must not
  // leave an empty file where the old one was.
  if (!writeWhole(file, bytes, count, true)) return false;
  if (moveDurably(staged, path, true)) return true;
  DeleteFileW(staged.c_str());
  return false;
}

InstallTransaction::InstallTransaction(const std::wstring& folder, bool folderMade, StepGate& gate)
    : folder_(ensureTrailingBackslash(folder)), folderMade_(folderMade), gate_(gate) {}

InstallTransaction::~InstallTransaction() {
  if (!over_) rollBack();
}

void InstallTransaction::planFile(const std::wstring& relative) {
  // An index by compared name: an archive of thousands of files would
  // otherwise cost a comparison of every pair.
  if (!fileIndex_.emplace(comparedKey(relative), files_.size()).second) return;
  PlannedFile file;
  file.relative = relative;
  file.existed = isExistingPath(folder_ + relative);
  files_.push_back(std::move(file));
}

void InstallTransaction::planFolder(const std::wstring& relative) {
  std::wstring path = relative;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  // Each folder is asked about once, however many files it holds.
  if (path.empty() || !folderKeys_.insert(comparedKey(path)).second || isExistingPath(folder_ + path)) return;
  folders_.push_back(path);
}

bool InstallTransaction::writeJournal(JournalPhase phase) {
  Journal journal;
  journal.phase = phase;
  journal.folderMade = folderMade_;
  journal.folders = folders_;
  for (const PlannedFile& file : files_) journal.files.push_back({file.relative, file.existed});
  const std::string bytes = journalBytes(journal);
  // A journal that could never be read back would leave a killed run to
  // nobody.
  if (bytes.size() > kLongestJournal) {
    setupLog(L"Journal too long to be read back: " + decimalText(bytes.size()) + L" bytes");
    return false;
  }
  if (replaceFileWithBytes(folder_ + kJournalFileName, bytes.data(), bytes.size())) {
    setupLog(L"Journal: " + phaseName(phase));
    return true;
  }
  setupLog(L"Journal could not be written: " + phaseName(phase));
  return false;
}

bool InstallTransaction::begin() {
  std::wstring path = folder_;
  if (path.size() > 3) path.pop_back();
  if (!held_.open(path, HeldPath::Access::Look) || !held_.isFolder() || held_.isReparsePoint() ||
      held_.finalPath().empty()) {
    setupLog(L"The install folder is a link or cannot be checked: " + folder_);
    return false;
  }
  for (const PlannedFile& file : files_)
    if (!isPlannablePath(file.relative)) {
      setupLog(L"No path of the install folder: " + file.relative);
      return false;
    }
  for (const std::wstring& folder : folders_)
    if (!isPlannablePath(folder)) {
      setupLog(L"No path of the install folder: " + folder);
      return false;
    }
  newFolders_ = comparedSet(folders_);
  begun_ = true;
  volume_ = flushableVolumeOf(folder_);
  setupLog(volume_.valid() ? L"Staged files are flushed to the disk with their volume before the switch"
                           : L"Staged files are flushed to the disk one by one as they are written");
  return gate_.allows(L"journal Staging") && writeJournal(JournalPhase::Staging);
}

std::wstring InstallTransaction::stagedRelative(const std::wstring& relative) const {
  return stagedRelativeIn(relative, newFolders_);
}

std::wstring InstallTransaction::stagedPath(const std::wstring& relative) const {
  return folder_ + stagedRelative(relative);
}

bool InstallTransaction::stage(const std::wstring& relative, const void* bytes, std::size_t count) {
  PlannedFile* planned = plannedFile(relative);
  if (planned == nullptr || !begun_ || !gate_.allows(L"write " + relative)) return false;
  FolderHolds folders(folder_);
  const std::wstring staged = stagedRelative(relative);
  if (!removeIfThere(folders, folder_, staged)) return false;
  const std::wstring finalFolder = folders.finalFolder(folderPart(staged));
  FileHandle file;
  if (finalFolder.empty() || !file.createNew(folder_ + staged, nullptr)) {
    setupLog(L"Could not write " + folder_ + staged);
    return false;
  }
  if (!sameFinalPath(finalPathOf(file.get()), finalFolder + staged.substr(folderPart(staged).size()))) {
    deleteThroughHandle(file.get());
    setupLog(L"Not written, its folder does not lie where it must: " + stagedPath(relative));
    return false;
  }
  if (!writeWhole(file, bytes, count, flushesEachFile())) {
    setupLog(L"Could not write " + stagedPath(relative));
    return false;
  }
  planned->staged = true;
  return true;
}

void InstallTransaction::markStaged(const std::wstring& relative) {
  if (PlannedFile* planned = plannedFile(relative)) planned->staged = true;
}

InstallTransaction::PlannedFile* InstallTransaction::plannedFile(const std::wstring& relative) {
  const auto found = fileIndex_.find(comparedKey(relative));
  return found == fileIndex_.end() ? nullptr : &files_[found->second];
}

bool InstallTransaction::switchFiles() {
  for (const PlannedFile& file : files_)
    if (!file.staged) {
      setupLog(L"Not every new file arrived: " + file.relative);
      return false;
    }
  if (volume_.valid()) {
    if (FlushFileBuffers(volume_.get())) {
      setupLog(L"Staged files flushed to the disk with their volume");
    } else {
      for (const PlannedFile& file : files_)
        if (!flushFile(stagedPath(file.relative))) {
          setupLog(L"Could not flush " + stagedPath(file.relative));
          return false;
        }
      setupLog(L"The volume refused a flush: staged files flushed to the disk one by one");
    }
  }
  if (!gate_.allows(L"journal Switching")) return false;
  // From here on a run that is killed is carried forward by the next one.
  switching_ = true;
  if (!writeJournal(JournalPhase::Switching)) return false;
  FolderHolds folders(folder_);
  // The folders the install makes, each staged whole: one move each.
  for (const std::wstring& top : topNewFolders(folders_, newFolders_)) {
    if (!gate_.allows(L"move in " + top + L"\\") || !moveFolderIn(folders, folder_, top)) return false;
    movedInFolders_.push_back(top);
  }
  for (PlannedFile& file : files_) {
    const std::wstring destination = folder_ + file.relative;
    if (!topNewFolderOf(file.relative, newFolders_).empty()) {
      file.movedIn = true;
      continue;
    }
    // A name that was free when planned is moved to without a look first:
    // the move itself fails when something has taken the name since, and
    // looking up a name that is not there is what costs most.
    if (!file.existed) {
      if (!gate_.allows(L"move in " + file.relative)) return false;
      if (folders.finalFolder(folderPart(file.relative)).empty() || !isExistingFile(stagedPath(file.relative)))
        return false;
      if (moveDurably(stagedPath(file.relative), destination)) {
        file.movedIn = true;
        continue;
      }
    }
    const DWORD found = GetFileAttributesW(destination.c_str());
    if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      setupLog(L"Not replaced, a folder has its name: " + destination);
      return false;
    }
    if (found != INVALID_FILE_ATTRIBUTES) {
      if (!gate_.allows(L"move aside " + file.relative) || folders.finalFolder(folderPart(file.relative)).empty())
        return false;
      // The recovery before this run left no backup; one that appeared
      // since goes first.
      if (!moveDurably(destination, destination + kBackupSuffix) &&
          (!removeIfThere(folders, folder_, file.relative + kBackupSuffix) ||
           !moveChecked(folders, folder_, file.relative, file.relative + kBackupSuffix)))
        return false;
      file.movedAside = true;
    }
    if (!gate_.allows(L"move in " + file.relative) ||
        !moveChecked(folders, folder_, file.relative + kStagedSuffix, file.relative))
      return false;
    file.movedIn = true;
  }
  setupLog(L"Switched " + decimalText(files_.size()) + L" files into place");
  return true;
}

void InstallTransaction::addUndo(std::function<void()> undo) { undo_.push_back(std::move(undo)); }

bool InstallTransaction::commit() {
  over_ = true;
  FolderHolds folders(folder_);
  bool whole = true;
  for (const PlannedFile& file : files_)
    if (file.movedAside) whole = deleteOwnBackup(folders, folder_, file.relative + kBackupSuffix) && whole;
  folders.clear();
  // A backup that could not be deleted keeps the journal: the next run
  // tries again.
  if (whole) whole = DeleteFileW((folder_ + kJournalFileName).c_str()) != FALSE;
  setupLog(whole ? L"Install complete, backups and journal deleted"
                 : L"Install complete; a backup or the journal stays for the next run to delete");
  held_.close();
  return true;
}

void InstallTransaction::rollBack() {
  if (over_) return;
  over_ = true;
  if (!begun_) return;
  setupLog(L"Rolling back");
  bool whole = true;
  if (switching_) whole = writeJournal(JournalPhase::RollingBack);
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
  undo_.clear();

  FolderHolds folders(folder_);
  for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
    // A file of a folder staged whole is where its folder is.
    const std::wstring top = topNewFolderOf(it->relative, newFolders_);
    const bool in = it->movedIn || (!top.empty() && std::find(movedInFolders_.begin(), movedInFolders_.end(), top) !=
                                                        movedInFolders_.end());
    if (in) {
      if (!removeIfThere(folders, folder_, it->relative)) {
        whole = false;
        continue;
      }
    }
    if (it->movedAside && !moveChecked(folders, folder_, it->relative + kBackupSuffix, it->relative)) whole = false;
    if (!in) whole = removeIfThere(folders, folder_, stagedRelative(it->relative)) && whole;
  }
  folders.clear();
  removeFolders(folder_, folders_);
  removeFolders(folder_, stagedFolders(folders_, newFolders_));
  if (!whole) {
    setupLog(L"Roll-back incomplete: the journal stays for the next run");
    return;
  }
  DeleteFileW((folder_ + kJournalFileName).c_str());
  held_.close();
  if (folderMade_) removeInstallFolder(folder_);
  setupLog(L"Rolled back");
}

namespace {

// A run killed while it replaced its journal left the new one beside it,
// never in force: the journal at its own name is what the run had done.
void removeReplacementJournal(const std::wstring& folder) {
  if (!isExistingPath(folder + kJournalFileName + kStagedSuffix)) return;
  FolderHolds folders(folder);
  removeIfThere(folders, folder, std::wstring(kJournalFileName) + kStagedSuffix);
}

// The journal in the folder held as `root`, read through a handle checked
// to be exactly that file. False when it is no journal this program may act
// on: then what stands at its name has gone, unread.
bool readJournal(const std::wstring& folder, const HeldPath& root, Journal& journal) {
  const std::wstring journalPath = folder + kJournalFileName;
  HeldPath held;
  std::string bytes;
  if (held.open(journalPath, HeldPath::Access::Delete) && !held.isFolder() &&
      held.isAt(ensureTrailingBackslash(root.finalPath()) + kJournalFileName) && held.readAll(bytes, kLongestJournal) &&
      parseJournal(bytes, journal) && namesOnlyPlannablePaths(journal))
    return true;
  setupLog(L"A journal that is none was deleted unread: " + journalPath);
  // What stands at the name itself goes, never what it may lead to.
  if (held.isOpen() && !held.isFolder()) held.remove();
  return false;
}

// Carrying forward, the folders staged whole go in first, as the killed run
// did; one that is in its place already has nothing at its staged name.
bool moveStagedFoldersIn(FolderHolds& folders, const std::wstring& folder, const std::vector<std::wstring>& planned,
                         const FolderSet& newFolders) {
  bool whole = true;
  for (const std::wstring& top : topNewFolders(planned, newFolders)) {
    if (!isExistingPath(folder + top + kStagedSuffix)) continue;
    if (isExistingPath(folder + top)) {
      setupLog(L"Left alone, something stands where a staged folder goes: " + folder + top);
      whole = false;
      continue;
    }
    whole = moveFolderIn(folders, folder, top) && whole;
  }
  return whole;
}

// Where the killed run staged a file: beside its name, or inside a new
// folder staged whole. Setups before folders were staged whole wrote every
// file beside its name, in new folders too; their journals say the same.
std::wstring stagedNameOf(const std::wstring& folder, const std::wstring& name, const FolderSet& newFolders) {
  const std::wstring beside = name + kStagedSuffix;
  const std::wstring staged = stagedRelativeIn(name, newFolders);
  if (staged != beside && !isExistingPath(folder + staged) && isExistingPath(folder + beside)) return beside;
  return staged;
}

// One file carried forward: the old file aside and the new one in, in the
// order of the killed run, then the old one gone.
bool carryFileForward(FolderHolds& folders, const std::wstring& folder, const std::wstring& name,
                      const std::wstring& staged, const std::wstring& self) {
  const std::wstring backup = name + kBackupSuffix;
  bool whole = true;
  if (isExistingPath(folder + staged) && isFileAt(folder + name, self)) {
    // The uninstaller, about to remove the whole install: moved aside,
    // its running file could not be deleted, and nothing would be
    // removed. It stays as it is; the new copy goes.
    setupLog(L"Kept, this program runs from it: " + folder + name);
    whole = removeIfThere(folders, folder, staged) && whole;
  } else if (isExistingPath(folder + staged)) {
    if (isExistingPath(folder + name)) {
      if (isExistingPath(folder + backup))
        whole = removeIfThere(folders, folder, name) && whole;
      else
        whole = moveChecked(folders, folder, name, backup) && whole;
    }
    whole = moveChecked(folders, folder, staged, name) && whole;
  }
  return removeIfThere(folders, folder, backup) && whole;
}

// One file rolled back: the old file back at its name, or, where no release
// had a file and the killed run had switched one in, none; the staged copy
// gone.
bool rollFileBack(FolderHolds& folders, const std::wstring& folder, const JournalFile& file, const std::wstring& staged,
                  JournalPhase phase) {
  const std::wstring& name = file.path;
  const std::wstring backup = name + kBackupSuffix;
  bool whole = true;
  if (isExistingPath(folder + backup)) {
    whole = removeIfThere(folders, folder, name) && moveChecked(folders, folder, backup, name);
  } else if (!file.existed && phase == JournalPhase::RollingBack && !isExistingPath(folder + staged)) {
    whole = removeIfThere(folders, folder, name);
  }
  return removeIfThere(folders, folder, staged) && whole;
}

}  // namespace

bool recoverInterruptedInstall(const std::wstring& installFolder) {
  const std::wstring folder = ensureTrailingBackslash(installFolder);
  const std::wstring journalPath = folder + kJournalFileName;
  removeReplacementJournal(folder);
  if (!isExistingPath(journalPath)) return true;

  std::wstring rootPath = folder;
  if (rootPath.size() > 3) rootPath.pop_back();
  HeldPath root;
  if (!root.open(rootPath, HeldPath::Access::Look) || !root.isFolder() || root.isReparsePoint() ||
      root.finalPath().empty()) {
    setupLog(L"Journal found, but the folder is a link or cannot be checked: " + folder);
    return false;
  }
  Journal journal;
  if (!readJournal(folder, root, journal)) return true;
  setupLog(L"Journal found (" + phaseName(journal.phase) + L"): finishing the interrupted install in " + folder);

  FolderHolds folders(folder);
  const bool forward = journal.phase == JournalPhase::Switching;
  const std::wstring self = thisProgramsFile();
  const FolderSet newFolders = comparedSet(journal.folders);
  bool whole = !forward || moveStagedFoldersIn(folders, folder, journal.folders, newFolders);
  for (const JournalFile& file : journal.files) {
    const std::wstring staged = stagedNameOf(folder, file.path, newFolders);
    // Files of a folder staged whole moved in with it.
    if (forward && staged != file.path + kStagedSuffix) continue;
    whole = (forward ? carryFileForward(folders, folder, file.path, staged, self)
                     : rollFileBack(folders, folder, file, staged, journal.phase)) &&
            whole;
  }
  folders.clear();
  if (!forward) {
    removeFolders(folder, journal.folders);
    removeFolders(folder, stagedFolders(journal.folders, newFolders));
  }
  if (!whole) {
    setupLog(L"The interrupted install could not be finished: the journal stays");
    return false;
  }
  DeleteFileW(journalPath.c_str());
  root.close();
  if (!forward && journal.folderMade) removeInstallFolder(folder);
  setupLog(forward ? L"The interrupted install was completed" : L"The interrupted install was rolled back");
  return true;
}

}  // namespace tonvane
