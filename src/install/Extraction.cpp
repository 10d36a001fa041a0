#include "Extraction.h"

#include <windows.h>

// iowin32.h leans on the declarations unzip.h brings in.
#include <unzip.h>
#include <iowin32.h>

#include <cstring>
#include <new>

#include "ArchiveWalk.h"
#include "Errors.h"
#include "FileHandle.h"
#include "NumberText.h"
#include "PathText.h"
#include "Paths.h"
#include "SetupLog.h"

namespace tonvane {

namespace {

// Large pieces: an application archive holds many megabytes.
constexpr std::size_t kCopyBufferSize = 64 * 1024;

// Closes the archive on every path out.
class ArchiveReader {
 public:
  explicit ArchiveReader(unzFile file) : file_(file) {}
  ~ArchiveReader() {
    if (file_ != nullptr) unzClose(file_);
  }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;
  unzFile get() const { return file_; }

 private:
  unzFile file_;
};

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

// The entry's bytes into a file that this call has just created.
EntryData writeInto(FileHandle& file, ArchiveWalk& walk, std::vector<char>& buffer) {
  const EntryData result = walk.copyData(buffer, [&file](const char* bytes, std::size_t count) {
    return file.writeAll(bytes, count);
  });
  file.close();
  return result;
}

// A name beside `fullPath` that this process has not used before; whether
// it is free is for CREATE_NEW to find out.
std::wstring freshNameBeside(const std::wstring& fullPath) {
  static LONG counter = 0;
  return folderOfPath(fullPath) + L"~tvn" + hexText(GetCurrentProcessId()) + L"-" +
         hexText(static_cast<unsigned long>(InterlockedIncrement(&counter))) + L".tmp";
}

// An entry whose name is taken already: written to a new file beside it and
// moved over it only once it is whole, so the file there stays as it was
// until then.
bool replaceWithEntry(ArchiveWalk& walk, std::vector<char>& buffer, const std::wstring& fullPath) {
  FileHandle file;
  std::wstring temporary;
  for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
    temporary = freshNameBeside(fullPath);
    if (!file.createNew(temporary, nullptr) && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!file.isOpen()) return skipped(fullPath, "no file can be made in its folder");
  const EntryData result = writeInto(file, walk, buffer);
  if (result != EntryData::Complete ||
      !MoveFileExW(temporary.c_str(), fullPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temporary.c_str());
    return skipped(fullPath, result != EntryData::Complete ? entryDataName(result)
                                                           : "the file there cannot be replaced");
  }
  return true;
}

// A name that is free (a fresh install: nearly every entry) is written in
// place: there is nothing there to keep, and a failed entry's file is
// deleted again. Creating it with CREATE_NEW never opens what another
// program put there, a link included; such a name takes the replacing way.
bool writeEntry(ArchiveWalk& walk, std::vector<char>& buffer, const std::wstring& fullPath) {
  FileHandle file;
  if (!file.createNew(fullPath, nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return skipped(fullPath, "no file can be made in its folder");
    return replaceWithEntry(walk, buffer, fullPath);
  }
  const EntryData result = writeInto(file, walk, buffer);
  if (result == EntryData::Complete) return true;
  DeleteFileW(fullPath.c_str());
  return skipped(fullPath, entryDataName(result));
}

bool extractEntries(unzFile archive, const std::wstring& destination, std::vector<std::wstring>& written) {
  const std::wstring folder = ensureTrailingBackslash(destination);
  std::vector<char> buffer;
  bool whole = true;
  ArchiveWalk walk(archive);
  ArchiveEntry entry;
  while (walk.next(entry)) {
    const std::wstring name = decodeEntryName(entry.rawName);
    const std::wstring relative = safeEntryPath(name);
    if (relative.empty()) {
      skipped(L"entry \"" + name + L"\"", "its name leaves the folder, is too long or names no file");
      continue;
    }
    const std::wstring fullPath = folder + relative;
    if (relative.back() == L'\\') {
      ensureFolder(fullPath);
      continue;
    }
    if (buffer.empty()) {
      try {
        buffer.resize(kCopyBufferSize);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    ensureFolder(folderOfPath(fullPath));
    if (!writeEntry(walk, buffer, fullPath)) {
      whole = false;
      continue;
    }
    try {
      written.push_back(fullPath);
    } catch (const std::bad_alloc&) {
      raiseFailure(E_OUTOFMEMORY);
    }
  }
  return whole;
}

}  // namespace

bool extractArchive(const std::wstring& archivePath, const std::wstring& destination,
                    std::vector<std::wstring>& written) {
  ArchiveReader archive(openArchiveFile(archivePath));
  if (archive.get() == nullptr) return false;
  return extractEntries(archive.get(), destination, written);
}

bool extractArchiveFromMemory(const void* bytes, std::size_t size, const std::wstring& destination,
                              std::vector<std::wstring>& written) {
  ArchiveReader archive(openArchiveInMemory(bytes, size));
  if (archive.get() == nullptr) return false;
  return extractEntries(archive.get(), destination, written);
}

bool fileMatchesArchiveEntry(const std::wstring& path, const void* archiveBytes, std::size_t archiveSize,
                             const std::wstring& entryName) {
  ArchiveReader archive(openArchiveInMemory(archiveBytes, archiveSize));
  if (archive.get() == nullptr) return false;
  const std::wstring wanted = lowerCase(safeEntryPath(entryName));
  if (wanted.empty()) return false;

  FileHandle file;
  if (!file.open(path, true, false, true, false)) return false;
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
