#include "Resources.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "FileHandle.h"

namespace tonvane {

ResourceBytes loadResource(const wchar_t* type, unsigned id) {
  ResourceBytes resource;
  resource.found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (resource.found == nullptr) return resource;
  resource.loaded = LoadResource(nullptr, resource.found);
  resource.size = SizeofResource(nullptr, resource.found);
  if (resource.loaded != nullptr)
    resource.data = static_cast<const std::uint8_t*>(LockResource(resource.loaded));
  if (resource.data == nullptr) resource.size = 0;
  return resource;
}

bool writeFileReplacing(const std::wstring& path, const void* bytes, std::size_t count) {
  const std::size_t slash = path.rfind(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
  wchar_t temporary[MAX_PATH] = {};
  if (!GetTempFileNameW(folder.c_str(), L"tvn", 0, temporary)) return false;
  bool whole = false;
  {
    FileHandle file;
    whole = file.openForCreating(temporary) && (count == 0 || file.writeAll(bytes, count));
  }
  if (!whole || !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary);
    return false;
  }
  return true;
}

bool fileHoldsResource(FileHandle& file, const ResourceBytes& resource) {
  if (file.size() != resource.size) return false;
  std::vector<char> buffer(64 * 1024);
  std::size_t done = 0;
  while (done < resource.size) {
    const std::uint32_t got = file.read(buffer.data(), static_cast<std::uint32_t>(
                                                           std::min<std::size_t>(buffer.size(), resource.size - done)));
    if (got == 0 || std::memcmp(buffer.data(), resource.data + done, got) != 0) return false;
    done += got;
  }
  return true;
}

bool writeResourceToFile(const ResourceBytes& resource, const std::wstring& path) {
  return writeFileReplacing(path, resource.data, resource.size);
}

}  // namespace tonvane
