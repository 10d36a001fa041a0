// The walk through an archive read once, front to back, as it comes out of
// a decoder: the solid form of the application archive (SolidArchive.h) is
// one compressed stream of a ZIP archive whose entries are all stored, and
// reading it anywhere but in order would mean decoding it again.
//
// The archive's central directory is known before the pass (it travels
// beside the stream), so every entry is judged by it as ArchiveWalk judges
// one: its name, its declared size and its CRC. The stream must hold, back
// to back from its first byte, one local entry for each directory record
// in the directory's order (a local header with no data descriptor, not
// encrypted, stored, whose name, CRC and sizes are the record's, then
// exactly that many bytes), then the directory itself byte for byte, then
// nothing. The first thing that differs ends the walk, and fault() names
// it. Pure (minizip and zlib only), so it also builds natively for fuzzing.
#pragma once

#include <unzip.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "ArchiveWalk.h"

namespace tonvane {

// Bytes that arrive in order.
class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Up to `count` bytes into `into`; 0 at the end, and for good once the
  // stream is found damaged.
  virtual std::size_t read(char* into, std::size_t count) = 0;

  // Whether the bytes stopped because the stream is damaged (bad data,
  // cut short) rather than at its end.
  virtual bool damaged() const = 0;
};

// Bytes held in memory, for an archive that is not compressed.
class BytesInMemory : public ByteStream {
 public:
  BytesInMemory(const void* bytes, std::size_t size)
      : bytes_(static_cast<const char*>(bytes)), size_(bytes == nullptr ? 0 : size) {}
  std::size_t read(char* into, std::size_t count) override;
  bool damaged() const override { return false; }

 private:
  const char* bytes_;
  std::size_t size_;
  std::size_t position_ = 0;
};

class StreamWalk : public EntryWalk {
 public:
  // `directory`: the archive's central directory and end record, which
  // begin at `directoryOffset` of the archive; the bytes must stay valid
  // while the walk lasts. `stream`: the whole archive from its first byte.
  StreamWalk(const void* directory, std::size_t directorySize, std::uint64_t directoryOffset, ByteStream& stream);
  ~StreamWalk() override;
  StreamWalk(const StreamWalk&) = delete;
  StreamWalk& operator=(const StreamWalk&) = delete;

  // What is left unread of the entry before is read past first. False at
  // the end of the directory (the stream's tail is checked then) and at the
  // first disagreement.
  bool next(ArchiveEntry& entry) override;

  // Only the current entry's bytes; read once. A damaged stream gives
  // DataError, a stream cut short Shorter; either ends the walk.
  EntryData copyData(std::vector<char>& buffer,
                     const std::function<bool(const char* bytes, std::size_t count)>& consume) override;

  // Null once next() has answered false at the end of a stream that held
  // exactly the archive the directory describes; before that, and on any
  // disagreement, the reason.
  const char* fault() const override { return fault_; }

 private:
  bool readLocalEntry(const unz_file_info64& record, const std::vector<char>& name);
  bool finish();
  bool fail(const char* reason);
  // Exactly `count` bytes, or false (the stream ended or is damaged).
  bool readExactly(char* into, std::size_t count);
  bool skip(std::uint64_t count);

  unzFile directory_;
  const char* directoryBytes_;
  std::size_t directorySize_;
  std::uint64_t directoryOffset_;
  ByteStream& stream_;
  std::uint64_t position_ = 0;  // of the stream, from the archive's first byte
  bool started_ = false;
  bool ended_ = false;
  const char* fault_ = "the walk has not reached the end of the archive";
  // The current entry: its bytes not yet read, and the CRC they must have.
  std::uint64_t remaining_ = 0;
  std::uint32_t crc_ = 0;
  bool dataRead_ = true;
};

}  // namespace tonvane
