#include "Extraction.h"

#include <windows.h>

// iowin32.h leans on the declarations unzip.h brings in.
#include <unzip.h>
#include <iowin32.h>

#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>

#include "ArchiveForm.h"
#include "ArchiveWalk.h"
#include "Errors.h"
#include "FileFlusher.h"
#include "FileHandle.h"
#include "HeldPath.h"
#include "NumberText.h"
#include "PathText.h"
#include "Paths.h"
#include "SetupLog.h"

namespace tonvane {

namespace {

// Large pieces: an application archive holds many megabytes.
constexpr std::size_t kCopyBufferSize = 64 * 1024;

unzFile openArchiveFile(const std::wstring& path) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  return unzOpen2_64(path.c_str(), &functions);
}

// The names of the program's own archives are plain ASCII; others are read
// in the thread's ANSI code page.
std::wstring decodeEntryName(const std::string& raw) {
  if (raw.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, raw.c_str(), -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, raw.c_str(), -1, &text[0], length);
  text.resize(static_cast<std::size_t>(length) - 1);
  return text;
}

// An entry that is not extracted, for the setup log; false.
bool skipped(const std::wstring& entry, const char* reason) {
  setupLog(L"Skipped " + entry + L": " + std::wstring(reason, reason + std::strlen(reason)));
  return false;
}

constexpr const char* kNoFolder = "no file can be made in its folder";
constexpr const char* kMisplaced = "the file made for it does not lie in its folder";
constexpr const char* kUnreadable = "where its folder lies cannot be read";

// The name Windows gives a file or folder created as `step`: without the
// trailing dots and blanks it drops.
std::wstring nameAsCreated(std::wstring step) {
  while (!step.empty() && (step.back() == L'.' || step.back() == L' ')) step.pop_back();
  return step;
}

// The folders an extraction writes into. The destination may lie where a
// normal program of the same user can add and rename (an install folder
// outside the program folders), and it may put a junction or link at a
// folder's name to have this elevated program write elsewhere. So each
// folder is made, opened at its own name and accepted only as a plain
// folder whose final path is its parent's followed by its name, then held
// until the extraction ends: a held folder cannot be renamed or replaced.
// Each is checked once, however many entries it takes.
class DestinationFolders {
 public:
  enum class State {
    Ready,    // made and checked: its final path is known
    Missing,  // cannot be made (a file is in the way, no rights)
    Refused,  // a link, or not where it must be: nothing goes in there
  };

  struct Folder {
    State state = State::Missing;
    const char* reason = kNoFolder;
    std::wstring finalPath;  // with a trailing backslash when Ready
    HeldPath hold;
  };

  explicit DestinationFolders(const std::wstring& destination) : destination_(destination) {}

  // The folder `relative` below the destination ("" for the destination,
  // else "a\b\"), made with every step on the way when missing.
  const Folder& folder(const std::wstring& relative) {
    // Empty and "." steps name no folder of their own: Windows passes over
    // them, so they are left out of what is checked.
    std::wstring canonical;
    std::size_t start = 0;
    while (start < relative.size()) {
      std::size_t end = relative.find(L'\\', start);
      if (end == std::wstring::npos) end = relative.size();
      const std::wstring step = relative.substr(start, end - start);
      if (!step.empty() && step != L".") canonical += step + L"\\";
      start = end + 1;
    }
    return canonicalFolder(canonical);
  }

 private:
  const Folder& canonicalFolder(const std::wstring& relative) {
    const std::wstring key = lowerCase(relative);
    const auto found = folders_.find(key);
    if (found != folders_.end()) return found->second;
    Folder made;
    if (relative.empty()) {
      checkDestination(made);
    } else {
      const std::size_t slash = relative.rfind(L'\\', relative.size() - 2);
      const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
      const Folder& parent = canonicalFolder(relative.substr(0, nameStart));
      made.state = parent.state;
      made.reason = parent.reason;
      if (parent.state == State::Ready)
        checkStep(destination_ + relative.substr(0, relative.size() - 1),
                  parent.finalPath + nameAsCreated(relative.substr(nameStart, relative.size() - 1 - nameStart)), made);
    }
    return folders_.emplace(key, std::move(made)).first->second;
  }

  // Made as it always was, missing folders above it included; only its own
  // name must not be a link, as what lies below is checked against where
  // it is.
  void checkDestination(Folder& folder) {
    std::wstring path = destination_;
    if (path.size() > 1 && path[path.size() - 2] != L':') path.pop_back();  // "D:\" keeps its backslash
    folder.state = State::Missing;
    if (!ensureFolder(path) || !folder.hold.open(path, HeldPath::Access::Look) || !folder.hold.isFolder()) return;
    if (folder.hold.isReparsePoint()) return refuse(folder, "the folder is a junction or link");
    if (folder.hold.finalPath().empty()) return refuse(folder, kUnreadable);
    accept(folder);
  }

  // `expected`: the parent's final path followed by this step's name.
  void checkStep(const std::wstring& path, const std::wstring& expected, Folder& folder) {
    folder.state = State::Missing;
    folder.reason = kNoFolder;
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
    if (!folder.hold.open(path, HeldPath::Access::Look)) return;
    if (folder.hold.isReparsePoint()) return refuse(folder, "a folder on its way is a junction or link");
    if (!folder.hold.isFolder()) return;
    if (folder.hold.finalPath().empty()) return refuse(folder, kUnreadable);
    if (!folder.hold.isAt(expected)) return refuse(folder, "its folder does not lie where it must");
    accept(folder);
  }

  static void refuse(Folder& folder, const char* reason) {
    folder.state = State::Refused;
    folder.reason = reason;
    folder.hold.close();
  }

  static void accept(Folder& folder) {
    folder.state = State::Ready;
    folder.reason = nullptr;
    folder.finalPath = ensureTrailingBackslash(folder.hold.finalPath());
  }

  std::wstring destination_;  // with a trailing backslash
  std::unordered_map<std::wstring, Folder> folders_;
};

// Whether a file this call has just created lies exactly at `expected`;
// when not, it is deleted through the same handle and the entry skipped.
// One query of the file system per file: the folders were checked before.
bool liesAt(FileHandle& file, const std::wstring& expected) {
  if (sameFinalPath(finalPathOf(file.get()), expected)) return true;
  if (!deleteThroughHandle(file.get())) setupLog(L"Could not delete " + file.path() + L" again");
  file.close();
  return false;
}

// The entry's bytes into a file that this call has just created and
// checked; handed to `flusher` when one is given. A file that did not come
// out whole is deleted through its handle.
EntryData writeInto(FileHandle& file, EntryWalk& walk, std::vector<char>& buffer, FileFlusher* flusher) {
  const EntryData result =
      walk.copyData(buffer, [&file](const char* bytes, std::size_t count) { return file.writeAll(bytes, count); });
  if (result != EntryData::Complete) deleteThroughHandle(file.get());
  if (result == EntryData::Complete && flusher != nullptr) flusher->hand(file.release());
  file.close();
  return result;
}

// Where an entry goes: `folder` as the caller names it (with its trailing
// backslash) and as the file system has it, and the file's name.
struct Target {
  std::wstring folder;
  std::wstring finalFolder;
  std::wstring name;
  std::wstring fullPath() const { return folder + name; }
};

// A file a killed run left at a staged name: deleted through its handle
// when it is a plain file lying in its folder. True when the name is free.
bool clearStagedName(const Target& target) {
  HeldPath earlier;
  if (!earlier.open(target.fullPath(), HeldPath::Access::Delete) || earlier.isFolder() ||
      !earlier.isAt(target.finalFolder + nameAsCreated(target.name)))
    return false;
  return earlier.remove();
}

// Created with CREATE_NEW, a name never opens what another program put
// there, a link included: a taken name fails the entry, unless it is a
// staged file a killed run left, which goes first. The name is tried
// before it is looked at, since it is almost always free.
bool writeEntry(EntryWalk& walk, std::vector<char>& buffer, const Target& target, const StagedWrite* staged) {
  const std::wstring fullPath = target.fullPath();
  FileHandle file;
  bool created = file.createNew(fullPath, nullptr);
  DWORD error = created ? NO_ERROR : GetLastError();
  const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  if (taken && staged != nullptr) {
    if (!clearStagedName(target)) return skipped(fullPath, "something that is not ours is at its name");
    created = file.createNew(fullPath, nullptr);
    error = created ? NO_ERROR : GetLastError();
  }
  if (!created) {
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
      return skipped(fullPath, "a file of its name is there already");
    return skipped(fullPath, kNoFolder);
  }
  if (!liesAt(file, target.finalFolder + nameAsCreated(target.name))) return skipped(fullPath, kMisplaced);
  const EntryData result = writeInto(file, walk, buffer, staged != nullptr ? staged->flusher : nullptr);
  if (result == EntryData::Complete) return true;
  return skipped(fullPath, entryDataName(result));
}

bool extractEntries(EntryWalk& walk, const std::wstring& destination, std::vector<std::wstring>& written,
                    const StagedWrite* staged) {
  const std::wstring root = ensureTrailingBackslash(destination);
  DestinationFolders folders(root);
  std::vector<char> buffer;
  bool whole = true;
  ArchiveEntry entry;
  while (walk.next(entry)) {
    const std::wstring name = decodeEntryName(entry.rawName);
    const std::wstring relative = safeEntryPath(name);
    if (relative.empty()) {
      skipped(L"entry \"" + name + L"\"", "its name leaves the folder, is too long or names no file");
      continue;
    }
    const std::wstring fullPath = root + relative;
    const std::wstring writtenAs = staged != nullptr ? staged->stagedRelative(relative) : relative;
    if (relative.back() == L'\\') {
      // A folder that cannot be made is no file that failed; one that leads
      // elsewhere is refused like a file would be.
      const DestinationFolders::Folder& folder = folders.folder(writtenAs);
      if (folder.state == DestinationFolders::State::Refused) whole = skipped(fullPath, folder.reason);
      continue;
    }
    if (buffer.empty()) {
      try {
        buffer.resize(kCopyBufferSize);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    const std::size_t slash = writtenAs.rfind(L'\\');
    const std::wstring folderRelative = slash == std::wstring::npos ? std::wstring() : writtenAs.substr(0, slash + 1);
    const DestinationFolders::Folder& folder = folders.folder(folderRelative);
    if (folder.state != DestinationFolders::State::Ready) {
      whole = skipped(fullPath, folder.reason);
      continue;
    }
    if (staged != nullptr && staged->allow && !staged->allow(relative)) return false;
    const std::wstring fileName = writtenAs.substr(folderRelative.size());
    const Target target{root + folderRelative, folder.finalPath, fileName};
    if (!writeEntry(walk, buffer, target, staged)) {
      whole = false;
      continue;
    }
    try {
      written.push_back(fullPath);
    } catch (const std::bad_alloc&) {
      raiseFailure(E_OUTOFMEMORY);
    }
  }
  if (const char* fault = walk.fault()) {
    setupLog(L"The archive is not the one its directory describes: " + std::wstring(fault, fault + std::strlen(fault)));
    whole = false;
  }
  if (staged != nullptr && staged->flusher != nullptr && !staged->flusher->finish()) {
    setupLog(L"A staged file could not be flushed to the disk");
    whole = false;
  }
  return whole;
}

class ZipForm : public ArchiveForm {
 public:
  // minizip finds an archive by its end record, even behind other bytes.
  bool holds(const void*, std::size_t) const override { return true; }

  ArchiveDirectory directory(const void* bytes, std::size_t size) const override {
    return ArchiveDirectory(openArchiveInMemory(bytes, size));
  }

  bool extract(const void* bytes, std::size_t size, const std::wstring& destination, std::vector<std::wstring>& written,
               const StagedWrite* staged) const override {
    ArchiveReader archive(openArchiveInMemory(bytes, size));
    if (archive.get() == nullptr) return false;
    ArchiveWalk walk(archive.get());
    return extractEntries(walk, destination, written, staged);
  }
};

// Written once at start-up, before a second thread runs; read after.
const ArchiveForm* addedForms[2] = {};

}  // namespace

const ArchiveForm& zipArchiveForm() {
  static const ZipForm form;
  return form;
}

void addArchiveForm(const ArchiveForm& form) {
  for (const ArchiveForm*& slot : addedForms) {
    if (slot == nullptr || slot == &form) {
      slot = &form;
      return;
    }
  }
}

const ArchiveForm& archiveFormOf(const void* bytes, std::size_t size) {
  for (const ArchiveForm* form : addedForms)
    if (form != nullptr && form->holds(bytes, size)) return *form;
  return zipArchiveForm();
}

bool extractArchive(const std::wstring& archivePath, const std::wstring& destination,
                    std::vector<std::wstring>& written) {
  ArchiveReader archive(openArchiveFile(archivePath));
  if (archive.get() == nullptr) return false;
  ArchiveWalk walk(archive.get());
  return extractEntries(walk, destination, written, nullptr);
}

bool extractArchiveFromMemory(const void* bytes, std::size_t size, const std::wstring& destination,
                              std::vector<std::wstring>& written, const StagedWrite* staged) {
  return archiveFormOf(bytes, size).extract(bytes, size, destination, written, staged);
}

bool extractWalk(EntryWalk& walk, const std::wstring& destination, std::vector<std::wstring>& written,
                 const StagedWrite* staged) {
  return extractEntries(walk, destination, written, staged);
}

bool listArchiveEntries(const void* bytes, std::size_t size, std::vector<std::wstring>& relativePaths) {
  const ArchiveDirectory archive = archiveFormOf(bytes, size).directory(bytes, size);
  if (archive.get() == nullptr) return false;
  bool whole = true;
  ArchiveWalk walk(archive.get());
  ArchiveEntry entry;
  while (walk.next(entry)) {
    const std::wstring relative = safeEntryPath(decodeEntryName(entry.rawName));
    if (relative.empty())
      whole = false;
    else
      relativePaths.push_back(relative);
  }
  return whole;
}

bool fileMatchesArchiveEntry(const std::wstring& path, const void* archiveBytes, std::size_t archiveSize,
                             const std::wstring& entryName) {
  ArchiveReader archive(openArchiveInMemory(archiveBytes, archiveSize));
  if (archive.get() == nullptr) return false;
  const std::wstring wanted = lowerCase(safeEntryPath(entryName));
  if (wanted.empty()) return false;

  FileHandle file;
  if (!file.openHeldForReading(path)) return false;
  ArchiveWalk walk(archive.get());
  ArchiveEntry entry;
  while (walk.next(entry)) {
    if (entry.folder || lowerCase(safeEntryPath(decodeEntryName(entry.rawName))) != wanted) continue;
    if (file.size() != entry.size) return false;
    std::vector<char> buffer(kCopyBufferSize), onDisk(kCopyBufferSize);
    const EntryData result = walk.copyData(buffer, [&](const char* bytes, std::size_t count) {
      std::size_t done = 0;
      while (done < count) {
        const std::uint32_t got = file.read(onDisk.data(), static_cast<std::uint32_t>(count - done));
        if (got == 0 || std::memcmp(onDisk.data(), bytes + done, got) != 0) return false;
        done += got;
      }
      return true;
    });
    return result == EntryData::Complete;
  }
  return false;
}

}  // namespace tonvane
