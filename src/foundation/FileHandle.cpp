#include "FileHandle.h"

#include <new>
#include <utility>
#include <vector>

#include "AnsiText.h"
#include "Errors.h"

namespace tonvane {

bool FileHandle::open(const std::wstring& path, Mode mode) {
  const DWORD access = mode == Mode::Create ? GENERIC_WRITE : GENERIC_READ;
  const DWORD share = mode == Mode::ReadShared ? FILE_SHARE_READ | FILE_SHARE_WRITE
                      : mode == Mode::ReadHeld ? FILE_SHARE_READ
                                               : 0;
  const DWORD disposition = mode == Mode::Create ? CREATE_ALWAYS : OPEN_EXISTING;
  return hold(
      KernelHandle(CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)),
      path);
}

bool FileHandle::createNew(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
  return hold(KernelHandle(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, security, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr)),
              path);
}

bool FileHandle::hold(KernelHandle opened, const std::wstring& path) {
  if (!opened) return false;
  close();
  handle_ = std::move(opened);
  path_ = path;
  return true;
}

std::uint32_t FileHandle::read(void* buffer, std::uint32_t length) {
  if (!isOpen()) return 0;
  DWORD count = 0;
  if (!ReadFile(handle_.get(), buffer, length, &count, nullptr)) return 0;
  return count;
}

std::uint32_t FileHandle::write(const void* bytes, std::uint32_t length) {
  if (!isOpen()) return 0;
  DWORD count = 0;
  if (!WriteFile(handle_.get(), bytes, length, &count, nullptr)) return 0;
  return count;
}

bool FileHandle::writeAll(const void* bytes, std::size_t length) {
  const char* next = static_cast<const char*>(bytes);
  while (length > 0) {
    // Large writes go in pieces, as some file systems refuse one huge write.
    const std::uint32_t piece = length > (1u << 24) ? (1u << 24) : static_cast<std::uint32_t>(length);
    const std::uint32_t count = write(next, piece);
    if (count == 0) return false;
    next += count;
    length -= count;
  }
  return true;
}

std::uint64_t FileHandle::size() const {
  if (!isOpen()) return 0;
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(handle_.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

void FileHandle::close() {
  handle_.close();
  path_.clear();
}

bool FileHandle::readAllText(std::int32_t chunkSize, std::wstring& text) {
  if (!isOpen() || chunkSize <= 0) return false;
  text.clear();

  std::vector<char> chunk;
  try {
    chunk.resize(static_cast<std::size_t>(chunkSize));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::vector<char> accumulated;

  // Each further read asks for as much as the last one delivered, so a file
  // read with its own size as the chunk takes one full read and one empty one.
  std::uint32_t last = read(chunk.data(), static_cast<std::uint32_t>(chunkSize));
  while (last != 0) {
    try {
      accumulated.insert(accumulated.end(), chunk.begin(), chunk.begin() + last);
    } catch (const std::bad_alloc&) {
      raiseFailure(E_OUTOFMEMORY);
    }
    last = read(chunk.data(), last);
  }
  if (accumulated.empty()) return false;
  text = decodeAnsiText(accumulated.data(), accumulated.size());
  return !text.empty();
}

bool FileHandle::writeText(const std::wstring& text) {
  if (!isOpen() || text.empty()) return false;
  const std::string bytes = encodeAnsiText(text);
  return writeAll(bytes.data(), bytes.size());
}

}  // namespace tonvane
