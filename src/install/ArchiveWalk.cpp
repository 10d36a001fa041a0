#include "ArchiveWalk.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "PathText.h"

namespace tonvane {

std::wstring safeEntryPath(std::wstring name) {
  std::replace(name.begin(), name.end(), L'/', L'\\');
  if (name.empty() || !isContainedRelativePath(name)) return std::wstring();
  std::size_t start = 0;
  while (start < name.size()) {
    std::size_t end = name.find(L'\\', start);
    if (end == std::wstring::npos) end = name.size();
    const std::wstring step = name.substr(start, end - start);
    if (!step.empty() && (isReservedDeviceName(step) || hasForbiddenNameCharacter(step))) return std::wstring();
    start = end + 1;
  }
  return name;
}

const char* entryDataName(EntryData result) {
  switch (result) {
    case EntryData::Complete:
      return "complete";
    case EntryData::Unopenable:
      return "data cannot be opened";
    case EntryData::DataError:
      return "damaged data";
    case EntryData::Shorter:
      return "shorter than declared";
    case EntryData::CrcMismatch:
      return "CRC mismatch";
    case EntryData::Refused:
      return "not written";
  }
  return "unknown";
}

bool ArchiveWalk::next(ArchiveEntry& entry) {
  for (;;) {
    // unzOpen leaves the archive at its first entry. A damaged record makes
    // the step fail; minizip then answers the end of the list.
    if (started_ && unzGoToNextFile(archive_) != UNZ_OK) return false;
    started_ = true;
    unz_file_info64 info;
    char name[kLongestEntryName + 1] = {};
    if (unzGetCurrentFileInfo64(archive_, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) continue;
    // minizip cuts a longer name at the buffer's end without a terminator.
    entry.rawName = info.size_filename <= kLongestEntryName ? std::string(name) : std::string();
    entry.size = info.uncompressed_size;
    entry.folder = !entry.rawName.empty() && (entry.rawName.back() == '/' || entry.rawName.back() == '\\');
    return true;
  }
}

EntryData ArchiveWalk::copyData(std::vector<char>& buffer,
                                const std::function<bool(const char*, std::size_t)>& consume) {
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(archive_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return EntryData::Unopenable;
  if (unzOpenCurrentFile(archive_) != UNZ_OK) return EntryData::Unopenable;

  std::uint64_t remaining = info.uncompressed_size;
  uLong crc = crc32(0L, Z_NULL, 0);
  EntryData result = EntryData::Complete;
  for (;;) {
    // One byte more than is left: data past the declared size shows.
    const std::uint64_t want = std::min<std::uint64_t>(buffer.size(), remaining + 1);
    const int count = unzReadCurrentFile(archive_, buffer.data(), static_cast<unsigned>(want));
    if (count < 0) {
      result = EntryData::DataError;
      break;
    }
    if (count == 0) {
      if (remaining != 0) result = EntryData::Shorter;
      break;
    }
    if (static_cast<std::uint64_t>(count) > remaining) {
      result = EntryData::DataError;
      break;
    }
    remaining -= static_cast<std::uint64_t>(count);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(count));
    if (!consume(buffer.data(), static_cast<std::size_t>(count))) {
      result = EntryData::Refused;
      break;
    }
  }
  const int closed = unzCloseCurrentFile(archive_);
  if (result == EntryData::Complete && (closed == UNZ_CRCERROR || crc != info.crc)) result = EntryData::CrcMismatch;
  return result;
}

namespace {

// `bytes` stand at `offset` of an archive of `offset` + `size` bytes.
struct MemoryStream {
  const unsigned char* bytes;
  ZPOS64_T size;
  ZPOS64_T offset;
  ZPOS64_T position;
};

voidpf ZCALLBACK memoryOpen(voidpf, const void* source, int mode) {
  // Read only: an archive in memory is never written.
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return new (std::nothrow) MemoryStream(*static_cast<const MemoryStream*>(source));
}

uLong ZCALLBACK memoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* memory = static_cast<MemoryStream*>(stream);
  const ZPOS64_T end = memory->offset + memory->size;
  const uLong count = static_cast<uLong>(std::min<ZPOS64_T>(size, end - memory->position));
  auto* into = static_cast<unsigned char*>(buffer);
  // minizip looks for the end record in pieces of a kilobyte from the end,
  // so a short directory's first piece reaches into what is not held.
  const uLong hidden = memory->position < memory->offset
                           ? static_cast<uLong>(std::min<ZPOS64_T>(count, memory->offset - memory->position))
                           : 0;
  std::memset(into, 0, hidden);
  if (count > hidden)
    std::memcpy(into + hidden, memory->bytes + (memory->position + hidden - memory->offset), count - hidden);
  memory->position += count;
  return count;
}

uLong ZCALLBACK memoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK memoryTell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->position; }

long ZCALLBACK memorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* memory = static_cast<MemoryStream*>(stream);
  ZPOS64_T base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      base = 0;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = memory->position;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = memory->offset + memory->size;
      break;
    default:
      return -1;
  }
  const ZPOS64_T end = memory->offset + memory->size;
  if (offset > end || base > end - offset) return -1;
  memory->position = base + offset;
  return 0;
}

int ZCALLBACK memoryClose(voidpf, voidpf stream) {
  delete static_cast<MemoryStream*>(stream);
  return 0;
}

int ZCALLBACK memoryError(voidpf, voidpf) { return 0; }

}  // namespace

unzFile openArchiveInMemory(const void* bytes, std::size_t size, std::uint64_t offset) {
  if (bytes == nullptr || size == 0 || offset > UINT64_MAX - size) return nullptr;
  zlib_filefunc64_def functions = {};
  functions.zopen64_file = memoryOpen;
  functions.zread_file = memoryRead;
  functions.zwrite_file = memoryWrite;
  functions.ztell64_file = memoryTell;
  functions.zseek64_file = memorySeek;
  functions.zclose_file = memoryClose;
  functions.zerror_file = memoryError;
  functions.opaque = nullptr;
  const MemoryStream source{static_cast<const unsigned char*>(bytes), size, offset, 0};
  return unzOpen2_64(&source, &functions);
}

}  // namespace tonvane
