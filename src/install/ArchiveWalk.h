// The walk through a ZIP archive's entries and the reading of their data,
// apart from any file system: the checks every entry passes before anything
// of it is written. Pure (minizip and zlib only), so it also builds natively
// for fuzzing.
#pragma once

#include <unzip.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

// Longest entry name read, in bytes; a longer one is never cut short and
// taken for another name: its entry is skipped.
constexpr std::size_t kLongestEntryName = 260;

// The relative path an entry's name (already decoded to UTF-16) gives, with
// "/" turned into "\"; "" when the entry must be skipped because its name
// would leave the destination (a ".." step, a drive or stream colon, a
// leading backslash), names a device (CON, NUL, COM1, ... as any step), or
// holds a character no file name may hold. A folder entry keeps its
// trailing backslash.
std::wstring safeEntryPath(std::wstring name);

struct ArchiveEntry {
  std::string rawName;     // the stored bytes; empty when too long
  std::uint64_t size = 0;  // uncompressed, as the central directory declares
  bool folder = false;     // the name ends with a slash
};

enum class EntryData {
  Complete,
  Unopenable,   // the data cannot be opened (method, local header)
  DataError,    // the compressed data is damaged
  Shorter,      // ended before the declared size
  CrcMismatch,  // the bytes are not the ones stored
  Refused,      // the consumer refused a piece (a failed write)
};

const char* entryDataName(EntryData result);

// An archive's entries one after another, as the extraction takes them:
// from the archive's directory (ArchiveWalk), or from the archive read
// front to back in one pass (StreamWalk.h).
class EntryWalk {
 public:
  virtual ~EntryWalk() = default;

  // The next entry (the first on the first call). False at the end.
  virtual bool next(ArchiveEntry& entry) = 0;

  // Hands the current file entry's data to `consume` in pieces of at most
  // `buffer.size()` bytes (the buffer must not be empty). Never more bytes
  // than the directory declares reach `consume`; the CRC is checked at the
  // end. Anything but Complete means the consumer must discard what it got.
  virtual EntryData copyData(std::vector<char>& buffer,
                             const std::function<bool(const char* bytes, std::size_t count)>& consume) = 0;

  // Once next() has answered false: why the archive as a whole is not the
  // one its directory describes, or null when nothing speaks against it.
  virtual const char* fault() const { return nullptr; }
};

// Steps through the central directory of an open archive once.
class ArchiveWalk : public EntryWalk {
 public:
  explicit ArchiveWalk(unzFile archive) : archive_(archive) {}

  // An entry whose record cannot be read is passed over. False at the end
  // of the directory, also when a damaged record ends the walk early.
  bool next(ArchiveEntry& entry) override;

  EntryData copyData(std::vector<char>& buffer,
                     const std::function<bool(const char* bytes, std::size_t count)>& consume) override;

 private:
  unzFile archive_;
  bool started_ = false;
};

// Opens an archive held in memory; the bytes must stay valid until
// unzClose. Null when they are not a ZIP archive.
//
// With an `offset`, the bytes are the archive's tail from there on (its
// central directory and end record, say) and what lies before reads as
// zeros: enough to walk the directory, never to open an entry's data.
unzFile openArchiveInMemory(const void* bytes, std::size_t size, std::uint64_t offset = 0);

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

}  // namespace tonvane
