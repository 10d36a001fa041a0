#include "SolidArchiveBuilder.h"

#include <lzma.h>

#include <cstdint>

namespace tonvane::test {

namespace {

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t{b[3]} << 24);
}

void putLe(std::string& into, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) into += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string xzStreamOf(const std::string& bytes) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 6)) return std::string();
  options.dict_size = 1u << 20;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::string out(lzma_stream_buffer_bound(bytes.size()), '\0');
  std::size_t written = 0;
  if (lzma_stream_buffer_encode(const_cast<lzma_filter*>(filters), LZMA_CHECK_NONE, nullptr,
                                reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                reinterpret_cast<std::uint8_t*>(&out[0]), &written, out.size()) != LZMA_OK)
    return std::string();
  out.resize(written);
  return out;
}

std::string directoryOf(const std::string& archive) {
  // Archives of the tests carry no comment: the end record is the last 22
  // bytes, and no test archive needs ZIP64.
  if (archive.size() < 22 || archive.compare(archive.size() - 22, 4, "PK\x05\x06") != 0) return std::string();
  const std::uint32_t offset = le32(archive, archive.size() - 22 + 16);
  return offset <= archive.size() ? archive.substr(offset) : std::string();
}

std::string solidFormOf(const std::string& archive, const std::string& directoryFrom) {
  const std::string& described = directoryFrom.empty() ? archive : directoryFrom;
  const std::string directory = directoryOf(described);
  const std::string directoryStream = xzStreamOf(directory);
  std::string container = "TVSOLID1";
  putLe(container, described.size(), 8);
  putLe(container, directory.size(), 4);
  putLe(container, directoryStream.size(), 4);
  return container + directoryStream + xzStreamOf(archive);
}

}  // namespace tonvane::test
