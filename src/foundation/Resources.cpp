#include "Resources.h"

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

bool writeResourceToFile(const ResourceBytes& resource, const std::wstring& path) {
  FileHandle file;
  if (!file.openForCreating(path)) return false;
  if (resource.size != 0) file.write(resource.data, resource.size);
  file.close();
  return true;
}

}  // namespace tonvane
