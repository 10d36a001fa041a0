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
  if (resource.loaded != nullptr) resource.data = static_cast<const std::uint8_t*>(LockResource(resource.loaded));
  if (resource.data == nullptr) resource.size = 0;
  return resource;
}

bool fileHoldsResource(FileHandle& file, const ResourceBytes& resource) {
  if (file.size() != resource.size) return false;
  std::vector<char> buffer(64 * 1024);
  std::size_t done = 0;
  while (done < resource.size) {
    const std::uint32_t got = file.read(
        buffer.data(), static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size(), resource.size - done)));
    if (got == 0 || std::memcmp(buffer.data(), resource.data + done, got) != 0) return false;
    done += got;
  }
  return true;
}

bool writeResourceToFile(const ResourceBytes& resource, const std::wstring& path) {
  FileHandle file;
  if (!file.createNew(path, nullptr)) return false;
  if (resource.size == 0 || file.writeAll(resource.data, resource.size)) return true;
  DeleteFileW(path.c_str());
  return false;
}

}  // namespace tonvane
