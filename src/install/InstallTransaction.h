// The install as one transaction: every new file is in place, or every old
// one is, byte for byte.
//
// The files go in three phases, each written to the journal
// (JournalText.h) and through to disk before it begins:
//   Staging      every new file is written beside its destination, as
//                "<name>.tonvane-new", and flushed to disk; in a folder
//                that the install makes, the whole folder is staged as
//                "<folder>.tonvane-new" with its files at their own names.
//                Nothing of the installed release has changed yet.
//   Switching    each existing file is moved aside to "<name>.tonvane-old"
//                and the new one into its place, and each staged folder
//                into its place in one move; then the caller's other
//                changes (the uninstall entry, the links, the settings file)
//                are made, each with a way back.
//   (done)       the backups are deleted, then the journal.
// A failure or a cancel at any step undoes what was done, in reverse (the
// journal says RollingBack while the switched files go back); a first
// install leaves nothing, not even the folders it made.
//
// A run that is killed leaves the journal. The next run that installs into
// the folder, and the uninstaller, finish the work first
// (recoverInterruptedInstall): a run killed before the switch is rolled
// back, one killed during it is carried forward. The journal is read as
// hostile input: it names paths relative to the folder only, and nothing
// it names is acted on through a junction or link or outside the folder.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "HeldPath.h"
#include "ScopedHandles.h"
#include "JournalText.h"

namespace tonvane {

constexpr const wchar_t* kStagedSuffix = L".tonvane-new";
constexpr const wchar_t* kBackupSuffix = L".tonvane-old";

// The tests' one seam into the transaction: called with the name of every
// step before it is taken ("write Tonvane.exe", "move aside install.log",
// "registry DisplayVersion", "link C:\...\Tonvane Free.lnk", ...); true
// makes that step fail as if the system had refused it. Empty in the
// product.
using StepFault = std::function<bool(const std::wstring& step)>;
void setStepFault(StepFault fault);

// Whether the step may be taken: false (with a line in the setup log) when
// the seam fails it or `cancelled` is set.
class StepGate {
 public:
  explicit StepGate(const volatile LONG* cancelled = nullptr) : cancelled_(cancelled) {}
  bool allows(const std::wstring& step);
  bool wasCancelled() const { return cancelledSeen_; }

 private:
  const volatile LONG* cancelled_;
  bool cancelledSeen_ = false;
};

// Writes `bytes` as the file at `path`, replacing what is there: to
// "<path>.tonvane-new" first, flushed, then moved over it in one step that
// survives a power cut. False, with the old file whole and nothing left
// beside it, when any part fails (a full disk, a read-only file, a link at
// the name).
bool replaceFileWithBytes(const std::wstring& path, const void* bytes, std::size_t count);

class InstallTransaction {
 public:
  // `folder`: the install folder, existing; `folderMade`: this install made
  // it (a failed one takes it away again, when empty).
  InstallTransaction(const std::wstring& folder, bool folderMade, StepGate& gate);
  ~InstallTransaction();
  InstallTransaction(const InstallTransaction&) = delete;
  InstallTransaction& operator=(const InstallTransaction&) = delete;

  // The plan, before the first change: every file (relative to the folder)
  // that the install writes, and every folder it may need. A folder that
  // exists now is left out; so is a path listed twice.
  void planFile(const std::wstring& relative);
  void planFolder(const std::wstring& relative);

  // Holds the folder, checks it, and writes the journal (Staging). False
  // when the folder is a link or cannot be checked, a planned path is no
  // journal path, or the journal cannot be written.
  bool begin();

  // Writes a planned file's new bytes beside its destination.
  bool stage(const std::wstring& relative, const void* bytes, std::size_t count);
  // Where a planned file's new bytes go, for a writer of its own (the
  // archive's extraction), which creates it new and, when
  // flushesEachFile(), flushes it before closing it.
  std::wstring stagedPath(const std::wstring& relative) const;
  // The same relative to the folder; for a folder ("a\b\") where the
  // writer makes it. Known after begin().
  std::wstring stagedRelative(const std::wstring& relative) const;
  // Whether each staged file is flushed to the disk as it is written: the
  // volume itself cannot be flushed once before the switch (no right to,
  // or a file system that refuses it). Known after begin().
  bool flushesEachFile() const { return !volume_.valid(); }
  // A planned file that such a writer has written whole.
  void markStaged(const std::wstring& relative);

  // Every planned file must have been staged. Writes the journal
  // (Switching) and moves the old files aside and the new ones in.
  bool switchFiles();

  // A change outside the folder (the uninstall entry, a link, the settings
  // file), made by the caller after switchFiles, with the action that puts
  // it back as it was. Taken back in reverse order on a failure.
  void addUndo(std::function<void()> undo);

  // Deletes the backups and the journal; the transaction is over.
  bool commit();

  // Undoes everything (done by the destructor of a transaction neither
  // committed nor rolled back).
  void rollBack();

  const std::wstring& folder() const { return folder_; }
  StepGate& gate() { return gate_; }

 private:
  struct PlannedFile {
    std::wstring relative;
    bool existed = false;
    bool staged = false;
    bool movedAside = false;
    bool movedIn = false;
  };

  PlannedFile* plannedFile(const std::wstring& relative);
  bool writeJournal(JournalPhase phase);
  void removeMadeFolders();

  std::wstring folder_;  // with a trailing backslash
  bool folderMade_;
  StepGate& gate_;
  HeldPath held_;
  KernelHandle volume_;  // open for a flush, when the volume allows one
  std::vector<PlannedFile> files_;
  std::unordered_map<std::wstring, std::size_t> fileIndex_;
  std::vector<std::wstring> folders_;            // made by the install, parents first
  std::unordered_set<std::wstring> folderKeys_;  // compared names, existing folders included
  std::unordered_set<std::wstring> newFolders_;  // compared names of folders_
  std::vector<std::wstring> movedInFolders_;
  std::vector<std::function<void()>> undo_;
  bool begun_ = false;
  bool switching_ = false;
  bool over_ = false;
};

// Finishes the work of an install into `folder` that was killed: reads the
// journal there, if any, rolls back or carries forward as its phase says,
// and deletes every temporary name and the journal. A journal that is not
// one by its rules, or lies elsewhere than in the folder, is deleted
// without acting on it. True when nothing is left to finish (no journal
// found included); false when some step failed (the journal stays, for the
// next run). Carrying forward, the file the calling program runs from (the
// uninstaller's, in the folder) stays as it is and its new copy goes: a
// running program's file cannot be deleted. Every step goes to the setup
// log.
bool recoverInterruptedInstall(const std::wstring& folder);

}  // namespace tonvane
