// The file side of IniDocument, kept apart so the parser builds without the
// platform.
#include <cstdint>
#include <limits>

#include "FileHandle.h"
#include "IniDocument.h"

namespace tonvane {

bool IniDocument::loadFile(const std::wstring& path) {
  if (path.empty()) return false;
  FileHandle file;
  if (!file.openForReadingText(path)) return false;

  // One read of the whole file, at least 2,048 bytes. A size beyond what one
  // read can ask for is capped rather than wrapped into a small or negative
  // chunk; the reader keeps going until the end of the file either way.
  constexpr std::uint64_t kSmallestChunk = 2048;
  constexpr std::uint64_t kLargestChunk = std::numeric_limits<std::int32_t>::max();
  std::uint64_t chunk = file.size();
  if (chunk < kSmallestChunk) chunk = kSmallestChunk;
  if (chunk > kLargestChunk) chunk = kLargestChunk;

  std::wstring text;
  file.readAllText(static_cast<std::int32_t>(chunk), text);
  file.close();

  if (!loadText(text)) return false;
  sourcePath = path;
  return true;
}

}  // namespace tonvane
