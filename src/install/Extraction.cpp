#include "Extraction.h"

#include <windows.h>

#include <unzip.h>

#include <algorithm>
#include <new>

#include "AnsiText.h"
#include "Errors.h"
#include "FileHandle.h"
#include "Paths.h"

namespace tonvane {

namespace {

constexpr unsigned kNameBufferSize = 261;  // 260 bytes of name and a zero
constexpr unsigned kCopyBufferSize = 4096;

// Closes the archive on every path out of extractArchive.
class ArchiveReader {
 public:
  explicit ArchiveReader(const std::string& path) : file_(unzOpen(path.c_str())) {}
  ~ArchiveReader() {
    if (file_ != nullptr) unzClose(file_);
  }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;
  unzFile get() const { return file_; }

 private:
  unzFile file_;
};

// The entry's name as a backslash path relative to the destination, or ""
// when the entry must be skipped.
std::wstring entryName(const char* name, const unz_file_info& info) {
  // minizip cuts a longer name at the buffer's end without a terminator.
  if (info.size_filename >= kNameBufferSize) return std::wstring();
  const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, name, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, name, -1, &text[0], length);
  text.resize(static_cast<std::size_t>(length) - 1);
  std::replace(text.begin(), text.end(), L'/', L'\\');
  if (!isContainedRelativePath(text)) return std::wstring();
  return text;
}

void copyEntry(unzFile archive, FileHandle& file, std::vector<char>& buffer) {
  for (;;) {
    const int count = unzReadCurrentFile(archive, buffer.data(), kCopyBufferSize);
    if (count <= 0) break;  // end of entry, or a data error
    file.write(buffer.data(), static_cast<std::uint32_t>(count));
  }
}

}  // namespace

bool extractArchive(const std::wstring& archivePath, const std::wstring& destination,
                    std::vector<std::wstring>& written) {
  ArchiveReader archive(encodeAnsiText(archivePath));
  if (archive.get() == nullptr) return false;

  const std::wstring folder = ensureTrailingBackslash(destination);
  std::vector<char> buffer;

  // unzOpen leaves the archive at its first entry. A damaged directory entry
  // makes the step fail; minizip then answers the end of the list.
  do {
    unz_file_info info;
    char name[kNameBufferSize] = {};
    if (unzGetCurrentFileInfo(archive.get(), &info, name, kNameBufferSize, nullptr, 0, nullptr,
                              0) != UNZ_OK)
      continue;
    const std::wstring relative = entryName(name, info);
    if (relative.empty()) continue;
    const std::wstring fullPath = folder + relative;

    if (relative.back() == L'\\') {
      ensureFolder(fullPath);
      continue;
    }
    if (unzOpenCurrentFile(archive.get()) != UNZ_OK) continue;
    ensureFolder(folderOfPath(fullPath));

    FileHandle file;
    if (!file.openForCreating(fullPath)) {
      unzCloseCurrentFile(archive.get());
      continue;
    }
    if (buffer.empty()) {
      try {
        buffer.resize(kCopyBufferSize);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    copyEntry(archive.get(), file, buffer);
    unzCloseCurrentFile(archive.get());  // reports a CRC mismatch; the file stays
    try {
      written.push_back(fullPath);
    } catch (const std::bad_alloc&) {
      raiseFailure(E_OUTOFMEMORY);
    }
    file.close();
  } while (unzGoToNextFile(archive.get()) != UNZ_END_OF_LIST_OF_FILE);
  return true;
}

}  // namespace tonvane
