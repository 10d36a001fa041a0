#include "SolidArchive.h"

#include <lzma.h>

#include <cstring>
#include <string>

#include "Extraction.h"
#include "SetupLog.h"
#include "StreamWalk.h"

namespace tonvane {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'S', 'O', 'L', 'I', 'D', '1'};
constexpr std::size_t kHeaderSize = 24;
// The packer's window is 8 MiB; what a stream may ask for beyond that is
// refused rather than taken from the machine.
constexpr std::uint64_t kDecoderMemoryLimit = 64ull << 20;
// A directory of the most entries a ZIP archive without ZIP64 holds, each
// with a long name, stays well below this.
constexpr std::uint32_t kLargestDirectory = 64u << 20;

std::uint32_t le32(const std::uint8_t* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (std::uint32_t{at[3]} << 24);
}

std::uint64_t le64(const std::uint8_t* at) { return le32(at) | (std::uint64_t{le32(at + 4)} << 32); }

// One .xz stream decoded on demand, straight into the reader's buffer; the
// decoder's own memory is its window, whatever the stream's length.
class XzStream : public ByteStream {
 public:
  XzStream(const std::uint8_t* bytes, std::size_t size) {
    damaged_ = lzma_stream_decoder(&stream_, kDecoderMemoryLimit, 0) != LZMA_OK;
    stream_.next_in = bytes;
    stream_.avail_in = size;
  }
  ~XzStream() override { lzma_end(&stream_); }
  XzStream(const XzStream&) = delete;
  XzStream& operator=(const XzStream&) = delete;

  std::size_t read(char* into, std::size_t count) override {
    if (ended_ || damaged_ || count == 0) return 0;
    stream_.next_out = reinterpret_cast<std::uint8_t*>(into);
    stream_.avail_out = count;
    while (stream_.avail_out > 0) {
      // Every byte of the stream is there already: the decoder may finish.
      const lzma_ret result = lzma_code(&stream_, LZMA_FINISH);
      if (result == LZMA_STREAM_END) {
        ended_ = true;
        damaged_ = stream_.avail_in != 0;
        break;
      }
      if (result != LZMA_OK) {
        damaged_ = true;
        break;
      }
    }
    return count - stream_.avail_out;
  }

  bool damaged() const override { return damaged_; }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
  bool ended_ = false;
  bool damaged_ = false;
};

void logRefusal(const wchar_t* what) { setupLog(std::wstring(L"The solid application archive ") + what); }

class SolidForm : public ArchiveForm {
 public:
  bool holds(const void* bytes, std::size_t size) const override {
    return bytes != nullptr && size >= sizeof kMagic && std::memcmp(bytes, kMagic, sizeof kMagic) == 0;
  }

  ArchiveDirectory directory(const void* bytes, std::size_t size) const override {
    SolidContainer container;
    std::vector<char> directory;
    if (!readSolidContainer(bytes, size, container) || !decodeSolidDirectory(container, directory))
      return ArchiveDirectory();
    unzFile file = openArchiveInMemory(directory.data(), directory.size(), container.archiveSize - directory.size());
    return ArchiveDirectory(file, std::move(directory));
  }

  bool extract(const void* bytes, std::size_t size, const std::wstring& destination, std::vector<std::wstring>& written,
               const StagedWrite* staged) const override {
    SolidContainer container;
    if (!readSolidContainer(bytes, size, container)) {
      logRefusal(L"has no header the setup reads");
      return false;
    }
    std::vector<char> directory;
    if (!decodeSolidDirectory(container, directory)) {
      logRefusal(L"has a damaged directory");
      return false;
    }
    XzStream stream(container.archiveStream, container.archiveStreamSize);
    StreamWalk walk(directory.data(), directory.size(), container.archiveSize - directory.size(), stream);
    return extractWalk(walk, destination, written, staged);
  }
};

}  // namespace

bool readSolidContainer(const void* bytes, std::size_t size, SolidContainer& container) {
  const auto* at = static_cast<const std::uint8_t*>(bytes);
  if (at == nullptr || size < kHeaderSize || std::memcmp(at, kMagic, sizeof kMagic) != 0) return false;
  container.archiveSize = le64(at + 8);
  container.directorySize = le32(at + 16);
  const std::uint32_t directoryStreamSize = le32(at + 20);
  // An archive ends with at least its end record, 22 bytes.
  if (container.directorySize < 22 || container.directorySize > container.archiveSize ||
      container.directorySize > kLargestDirectory || directoryStreamSize > size - kHeaderSize)
    return false;
  container.directoryStream = at + kHeaderSize;
  container.directoryStreamSize = directoryStreamSize;
  container.archiveStream = container.directoryStream + directoryStreamSize;
  container.archiveStreamSize = size - kHeaderSize - directoryStreamSize;
  return true;
}

bool decodeSolidDirectory(const SolidContainer& container, std::vector<char>& directory) {
  directory.assign(container.directorySize, '\0');
  XzStream stream(container.directoryStream, container.directoryStreamSize);
  std::size_t done = 0;
  while (done < directory.size()) {
    const std::size_t got = stream.read(directory.data() + done, directory.size() - done);
    if (got == 0) return false;
    done += got;
  }
  char beyond;
  return stream.read(&beyond, 1) == 0 && !stream.damaged();
}

const ArchiveForm& solidArchiveForm() {
  static const SolidForm form;
  return form;
}

}  // namespace tonvane
