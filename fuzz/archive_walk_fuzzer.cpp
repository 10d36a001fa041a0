// Input: two bytes (little-endian): the low twelve bits choose the read
// buffer's size, 1 to 4096, and the top bit the walk. Top bit clear: a ZIP
// archive follows, which minizip finds even behind the prefix, walked from
// its directory (ArchiveWalk). Top bit set: four bytes (little-endian) give
// where the directory begins (taken modulo the archive's size plus one),
// then the archive follows as the decoded stream of the solid form, walked
// in one pass (StreamWalk) against its own tail from there as the directory
// that travels beside the stream.
//
// Every entry is walked as the extraction walks it: its name goes through
// safeEntryPath (decoded as Latin-1, one byte to one unit, as an ANSI code
// page may decode it) and a file entry's data is read through copyData,
// whose promises are checked against what the consumer received and
// against the directory read independently of the walk. A pass must give
// the names the directory's own walk gives (the plan and the room check
// list it that way), and may end without a fault only when every entry it
// read was complete.
#include <unzip.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveWalk.h"
#include "FuzzChecks.h"
#include "StreamWalk.h"

namespace {

// Bounds on one input's work: a few hundred bytes of deflate may declare and
// inflate to gigabytes, and a one-byte buffer costs a call per byte.
constexpr int kMostEntries = 512;
constexpr std::uint64_t kMostBytes = 1u << 20;
constexpr std::uint64_t kMostPieces = 1u << 16;

std::wstring latin1(const std::string& bytes) {
  std::wstring text;
  for (unsigned char c : bytes) text += static_cast<wchar_t>(c);
  return text;
}

// Walks every entry; `directory` is read beside the walk, one record per
// entry (the pass must meet the records in their order, and ArchiveWalk
// passes over no record of an intact directory). False when the budget
// ran out or an entry was not complete.
bool walkAll(tonvane::EntryWalk& walk, unzFile directory, std::size_t bufferSize, bool pass) {
  using namespace tonvane;
  using fuzz::require;
  ArchiveWalk shadow(directory);
  ArchiveEntry entry;
  std::vector<char> buffer(bufferSize);
  std::uint64_t bytesLeft = kMostBytes;
  std::uint64_t piecesLeft = kMostPieces;
  bool allComplete = true;
  for (int entries = 0; entries < kMostEntries && walk.next(entry); ++entries) {
    const std::wstring name = latin1(entry.rawName);
    require(entry.rawName.size() <= kLongestEntryName, "entry name longer than the longest read", name);
    require(entry.folder == (!name.empty() && (name.back() == L'/' || name.back() == L'\\')),
            "folder flag does not match the name", name);
    fuzz::checkEntryPath(name);
    if (pass) {
      ArchiveEntry listed;
      require(shadow.next(listed), "the pass met an entry the directory's walk does not list", name);
      require(listed.rawName == entry.rawName && listed.size == entry.size && listed.folder == entry.folder,
              "the pass and the directory's walk name an entry apart", name);
    }
    if (entry.folder) continue;

    // What the directory says, read independently of the walk.
    unz_file_info64 info;
    require(unzGetCurrentFileInfo64(directory, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK,
            "the entry the walk returned cannot be read again", name);
    require(info.uncompressed_size == entry.size, "entry size differs from the directory's", name);

    std::uint64_t received = 0;
    bool overBudget = false;
    uLong crc = crc32(0L, Z_NULL, 0);
    const EntryData result = walk.copyData(buffer, [&](const char* bytes, std::size_t count) {
      require(bytes == buffer.data(), "piece not in the caller's buffer", name);
      require(count >= 1 && count <= buffer.size(), "piece empty or larger than the buffer", name);
      received += count;
      require(received <= entry.size, "more bytes handed over than the entry declares", name);
      crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(count));
      if (count > bytesLeft || piecesLeft == 0) {
        overBudget = true;
        return false;
      }
      bytesLeft -= count;
      --piecesLeft;
      return true;
    });
    require(entryDataName(result) != nullptr, "result without a name", name);
    if (result == EntryData::Complete) {
      require(received == entry.size, "complete, yet not the declared size", name);
      require(crc == info.crc, "complete, yet the bytes do not have the stored CRC", name);
    } else {
      allComplete = false;
    }
    require(result != EntryData::Refused || overBudget, "refused although the consumer accepted all", name);
    if (overBudget) return false;
  }
  return allComplete;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tonvane;
  if (size < 2) return 0;
  const unsigned prefix = data[0] | (data[1] << 8);
  const std::size_t bufferSize = 1 + (prefix & 0xFFF);
  if ((prefix & 0x8000) == 0) {
    unzFile archive = openArchiveInMemory(data + 2, size - 2);
    if (archive == nullptr) return 0;
    ArchiveWalk walk(archive);
    walkAll(walk, archive, bufferSize, false);
    unzClose(archive);
    return 0;
  }

  if (size < 6) return 0;
  const std::uint8_t* archive = data + 6;
  const std::size_t archiveSize = size - 6;
  const std::uint32_t declared = data[2] | (data[3] << 8) | (data[4] << 16) | (std::uint32_t{data[5]} << 24);
  const std::size_t offset = declared % (archiveSize + 1);
  unzFile directory = openArchiveInMemory(archive + offset, archiveSize - offset, offset);
  if (directory == nullptr) return 0;
  BytesInMemory stream(archive, archiveSize);
  StreamWalk walk(archive + offset, archiveSize - offset, offset, stream);
  const bool allComplete = walkAll(walk, directory, bufferSize, true);
  // A pass that ended without a fault read the stream to its end.
  if (walk.fault() == nullptr) {
    fuzz::require(allComplete, "the pass ended without a fault after an entry that was not complete", L"");
    char beyond;
    fuzz::require(stream.read(&beyond, 1) == 0, "the pass ended without a fault before the stream's end", L"");
  }
  unzClose(directory);
  return 0;
}
