#include "StreamWalk.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace tonvane {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kEncrypted = 1;
constexpr std::uint16_t kDataDescriptor = 8;
constexpr std::uint16_t kZip64ExtraId = 1;
constexpr std::uint32_t kInZip64Extra = 0xFFFFFFFF;

constexpr const char* kDamaged = "the compressed stream is damaged";

std::uint16_t le16(const char* at) {
  const auto* b = reinterpret_cast<const unsigned char*>(at);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t le32(const char* at) { return le16(at) | (std::uint32_t{le16(at + 2)} << 16); }

std::uint64_t le64(const char* at) { return le32(at) | (std::uint64_t{le32(at + 4)} << 32); }

// The sizes a ZIP64 extra field holds for a local header whose 32-bit
// fields say they are there: the uncompressed size first, then the
// compressed one, each only when its field is marked. False when the field
// is missing or too short.
bool zip64Sizes(const std::vector<char>& extra, std::uint64_t& uncompressed, std::uint64_t& compressed) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const std::uint16_t id = le16(&extra[at]);
    const std::size_t length = le16(&extra[at + 2]);
    at += 4;
    if (length > extra.size() - at) return false;
    if (id == kZip64ExtraId) {
      std::size_t field = at;
      for (std::uint64_t* size : {&uncompressed, &compressed}) {
        if (*size != kInZip64Extra) continue;
        if (field + 8 > at + length) return false;
        *size = le64(&extra[field]);
        field += 8;
      }
      return true;
    }
    at += length;
  }
  return false;
}

}  // namespace

std::size_t BytesInMemory::read(char* into, std::size_t count) {
  const std::size_t n = std::min(count, size_ - position_);
  if (n != 0) std::memcpy(into, bytes_ + position_, n);
  position_ += n;
  return n;
}

StreamWalk::StreamWalk(const void* directory, std::size_t directorySize, std::uint64_t directoryOffset,
                       ByteStream& stream)
    : directory_(openArchiveInMemory(directory, directorySize, directoryOffset)),
      directoryBytes_(static_cast<const char*>(directory)),
      directorySize_(directorySize),
      directoryOffset_(directoryOffset),
      stream_(stream) {
  if (directory_ == nullptr) fail("the archive's directory cannot be read");
}

StreamWalk::~StreamWalk() {
  if (directory_ != nullptr) unzClose(directory_);
}

bool StreamWalk::fail(const char* reason) {
  ended_ = true;
  fault_ = reason;
  return false;
}

bool StreamWalk::readExactly(char* into, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t got = stream_.read(into + done, count - done);
    if (got == 0) break;
    done += got;
  }
  position_ += done;
  return done == count;
}

bool StreamWalk::skip(std::uint64_t count) {
  char scrap[4096];
  while (count > 0) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scrap));
    if (!readExactly(scrap, piece)) return fail(stream_.damaged() ? kDamaged : "the stream ends inside an entry");
    count -= piece;
  }
  return true;
}

bool StreamWalk::next(ArchiveEntry& entry) {
  if (ended_) return false;
  if (!skip(remaining_)) return false;
  remaining_ = 0;
  dataRead_ = true;

  int step = UNZ_OK;
  if (started_) {
    step = unzGoToNextFile(directory_);
  } else {
    unz_global_info64 global;
    if (unzGetGlobalInfo64(directory_, &global) != UNZ_OK) return fail("the archive's directory cannot be read");
    if (global.number_entry == 0) step = UNZ_END_OF_LIST_OF_FILE;
  }
  started_ = true;
  if (step == UNZ_END_OF_LIST_OF_FILE) return finish();
  if (step != UNZ_OK) return fail("a record of the directory cannot be read");

  unz_file_info64 record;
  if (unzGetCurrentFileInfo64(directory_, &record, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return fail("a record of the directory cannot be read");
  std::vector<char> name(record.size_filename + 1, '\0');
  if (unzGetCurrentFileInfo64(directory_, &record, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                              0) != UNZ_OK)
    return fail("a record of the directory cannot be read");
  name.pop_back();
  if (!readLocalEntry(record, name)) return false;

  // As ArchiveWalk reads the same record: the plan and the space check
  // list the directory through it, and must meet the same names here.
  entry.rawName = record.size_filename <= kLongestEntryName ? std::string(name.data()) : std::string();
  entry.size = record.uncompressed_size;
  entry.folder = !entry.rawName.empty() && (entry.rawName.back() == '/' || entry.rawName.back() == '\\');
  return true;
}

bool StreamWalk::readLocalEntry(const unz_file_info64& record, const std::vector<char>& name) {
  char header[kLocalHeaderSize];
  if (!readExactly(header, sizeof header))
    return fail(stream_.damaged() ? kDamaged : "the stream ends where an entry should begin");
  if (le32(header) != kLocalHeaderSignature)
    return fail("the stream holds no entry where the directory says the next one begins");
  const std::uint16_t flags = le16(header + 6);
  if (flags & kEncrypted) return fail("an entry is encrypted");
  if (flags & kDataDescriptor) return fail("an entry's sizes follow its data instead of its local header");
  if (le16(header + 8) != 0 || record.compression_method != 0)
    return fail("an entry is compressed on its own instead of stored");

  const std::size_t nameLength = le16(header + 26);
  std::vector<char> localName(nameLength);
  std::vector<char> extra(le16(header + 28));
  if (!readExactly(localName.data(), localName.size()) || !readExactly(extra.data(), extra.size()))
    return fail(stream_.damaged() ? kDamaged : "the stream ends inside an entry's local header");
  if (localName != name) return fail("an entry's local name is not the name its directory record holds");

  std::uint64_t compressed = le32(header + 18);
  std::uint64_t uncompressed = le32(header + 22);
  if ((compressed == kInZip64Extra || uncompressed == kInZip64Extra) && !zip64Sizes(extra, uncompressed, compressed))
    return fail("an entry's local sizes are missing from its ZIP64 field");
  if (le32(header + 14) != record.crc || uncompressed != record.uncompressed_size ||
      compressed != record.compressed_size || compressed != uncompressed)
    return fail("an entry's local CRC or sizes are not the ones its directory record holds");

  remaining_ = uncompressed;
  crc_ = static_cast<std::uint32_t>(record.crc);
  dataRead_ = false;
  return true;
}

EntryData StreamWalk::copyData(std::vector<char>& buffer,
                               const std::function<bool(const char*, std::size_t)>& consume) {
  if (ended_ || dataRead_ || buffer.empty()) return EntryData::Unopenable;
  dataRead_ = true;
  uLong crc = crc32(0L, Z_NULL, 0);
  while (remaining_ > 0) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), remaining_));
    if (!readExactly(buffer.data(), piece)) {
      const bool damaged = stream_.damaged();
      fail(damaged ? kDamaged : "the stream ends inside an entry");
      return damaged ? EntryData::DataError : EntryData::Shorter;
    }
    remaining_ -= piece;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(piece));
    // What the consumer refused is read past by next().
    if (!consume(buffer.data(), piece)) return EntryData::Refused;
  }
  if (crc != crc_) {
    fail("an entry's bytes do not have the CRC its records hold");
    return EntryData::CrcMismatch;
  }
  return EntryData::Complete;
}

bool StreamWalk::finish() {
  if (position_ < directoryOffset_) return fail("the stream holds entries the directory does not list");
  if (position_ > directoryOffset_) return fail("the last entry runs into where the directory begins");
  char piece[4096];
  for (std::size_t done = 0; done < directorySize_;) {
    const std::size_t count = std::min(sizeof piece, directorySize_ - done);
    if (!readExactly(piece, count)) return fail(stream_.damaged() ? kDamaged : "the stream ends inside the directory");
    if (std::memcmp(piece, directoryBytes_ + done, count) != 0)
      return fail("the directory at the stream's end is not the one that travels beside it");
    done += count;
  }
  if (stream_.read(piece, 1) != 0) return fail("bytes follow the directory at the stream's end");
  if (stream_.damaged()) return fail(kDamaged);
  ended_ = true;
  fault_ = nullptr;
  return false;
}

}  // namespace tonvane
