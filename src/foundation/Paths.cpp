#include "Paths.h"

#include <windows.h>

#include <cstdlib>

namespace tonvane {

std::wstring modulePath() {
  wchar_t buffer[1024] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
  return std::wstring(buffer, length < 1024 ? length : 1023);
}

PathParts splitPath(const std::wstring& path) {
  const std::wstring source = path.empty() ? modulePath() : path;
  PathParts parts;
  // On a part too long for its field the runtime empties all four fields.
  _wsplitpath_s(source.c_str(), parts.drive, 3, parts.directory, 256, parts.fileName, 256,
                parts.extension, 256);
  return parts;
}

std::wstring folderOfPath(const std::wstring& path) {
  return partsFolder(splitPath(removeTrailingBackslash(path)));
}

namespace {
bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}  // namespace

bool ensureFolder(const std::wstring& path) {
  if (isFolder(path)) return true;
  if (path.empty()) return true;
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  if (!ensureFolder(path.substr(0, slash))) return false;
  CreateDirectoryW(path.c_str(), nullptr);
  return isFolder(path);
}

}  // namespace tonvane
