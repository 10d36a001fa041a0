// Input: two bytes (little-endian) choosing the read buffer's size, 1 to
// 4096, then a ZIP archive, which minizip finds even behind the prefix.
// Every entry is walked as the extraction walks it: its name goes through
// safeEntryPath (decoded as Latin-1, one byte to one unit, as an ANSI code
// page may decode it) and a file entry's data is read through copyData,
// whose promises are checked against what the consumer received.
#include <unzip.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveWalk.h"
#include "FuzzChecks.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tonvane;
  using fuzz::require;
  if (size < 2) return 0;
  const std::size_t bufferSize = 1 + ((data[0] | (data[1] << 8)) % 4096);
  unzFile archive = openArchiveInMemory(data + 2, size - 2);
  if (archive == nullptr) return 0;

  ArchiveWalk walk(archive);
  ArchiveEntry entry;
  std::vector<char> buffer(bufferSize);
  std::uint64_t bytesLeft = kMostBytes;
  std::uint64_t piecesLeft = kMostPieces;
  for (int entries = 0; entries < kMostEntries && walk.next(entry); ++entries) {
    const std::wstring name = latin1(entry.rawName);
    require(entry.rawName.size() <= kLongestEntryName, "entry name longer than the longest read", name);
    require(entry.folder == (!name.empty() && (name.back() == L'/' || name.back() == L'\\')),
            "folder flag does not match the name", name);
    fuzz::checkEntryPath(name);
    if (entry.folder) continue;

    // What the directory says, read independently of the walk.
    unz_file_info64 info;
    require(unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK,
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
    }
    require(result != EntryData::Refused || overBudget, "refused although the consumer accepted all", name);
    if (overBudget) break;
  }
  unzClose(archive);
  return 0;
}
