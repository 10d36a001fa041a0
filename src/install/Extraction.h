// Unpacking the setup's ZIP payloads (the application archive and the
// partner-offer archives) into a folder.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

class EntryWalk;
class FileFlusher;

// Extracts every file entry of the archive at `archivePath` (opened through
// the system's wide-character file functions, so any path works) into
// `destination` (with or without trailing backslash) and appends each
// written file's full path to `written` in the archive's order. Folders are
// made but never listed.
//
// Names that would land outside `destination` (a ".." step, a drive or
// stream colon, a leading backslash, a name too long to read whole), that
// name a device or hold characters no file name may hold are skipped.
//
// An entry counts only when it is whole: every write arrived, the data was
// not damaged, no longer or shorter than declared, and its CRC matched. An
// entry that fails leaves no part-written file and is not listed. A name
// that is taken already fails: extraction never replaces a file (an
// install replaces its files through its transaction, InstallTransaction.h,
// from files staged beside them, see StagedWrite).
//
// The destination may lie where a normal program of the same user can add
// and rename, and this program may run elevated: nothing is written through
// a junction or symbolic link. The destination itself must not be one; each
// folder below it is made or found, checked by its final path to be a plain
// folder exactly below its parent, and held until the extraction ends; each
// file is created new and checked by its final path before anything is
// written to it (one found elsewhere is deleted through its handle). An
// entry whose folder or name is a link, or whose place cannot be checked,
// is refused: it fails, with the reason in the setup log.
//
// False when the archive cannot be opened, the copy buffer cannot be had,
// or any entry failed or was refused (the entries written stay, and stay
// listed); true when the archive's directory was walked to its end with
// every file whole.
bool extractArchive(const std::wstring& archivePath, const std::wstring& destination,
                    std::vector<std::wstring>& written);

// How an install writes its entries: each where `stagedRelative` puts it
// (given an entry's path relative to the destination, file or "folder\";
// beside its destination, or inside a folder staged whole), handed to
// `flusher` when one is given (and all flushed before the extraction
// returns); a file already at that name (left by a run that was killed) is
// deleted first when it lies where it must. `allow` is asked with each
// file entry's relative path before it is written; false ends the
// extraction there (a cancel, or the tests' seam). `written` still lists
// destinations.
struct StagedWrite {
  std::function<std::wstring(const std::wstring& relative)> stagedRelative;
  FileFlusher* flusher = nullptr;
  std::function<bool(const std::wstring& relative)> allow;
};

// The same from an archive held in memory, in any form the program reads
// (ArchiveForm.h); staged as `staged` says when it is given.
bool extractArchiveFromMemory(const void* bytes, std::size_t size, const std::wstring& destination,
                              std::vector<std::wstring>& written, const StagedWrite* staged = nullptr);

// The same for the entries `walk` gives. False also when the walk ends
// with a fault (the archive is not the one its directory describes, the
// reason in the setup log), whatever was written.
bool extractWalk(EntryWalk& walk, const std::wstring& destination, std::vector<std::wstring>& written,
                 const StagedWrite* staged);

// The relative paths of the archive's entries (folders with a trailing
// backslash), as extraction would write them: an entry whose name it would
// refuse is left out and makes the result false. In any form the program
// reads, from the archive's directory alone.
bool listArchiveEntries(const void* bytes, std::size_t size, std::vector<std::wstring>& relativePaths);

// Whether the file at `path` holds exactly the bytes of the entry named
// `entryName` ('\' or '/' separated, as safeEntryPath gives it) of the
// archive in memory. The caller holds the file open against writes.
bool fileMatchesArchiveEntry(const std::wstring& path, const void* archiveBytes, std::size_t archiveSize,
                             const std::wstring& entryName);

}  // namespace tonvane
