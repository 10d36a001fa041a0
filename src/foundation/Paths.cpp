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
  _wsplitpath_s(source.c_str(), parts.drive, 3, parts.directory, 256, parts.fileName, 256, parts.extension, 256);
  return parts;
}

std::wstring folderOfPath(const std::wstring& path) { return partsFolder(splitPath(removeTrailingBackslash(path))); }

namespace {
// INVALID_FILE_ATTRIBUTES for a path that is missing or cannot be asked about.
DWORD attributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
}  // namespace

bool isExistingPath(const std::wstring& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool pathHasAttributes(const std::wstring& path, std::uint32_t attributes) {
  const DWORD found = attributesOf(path);
  return found != INVALID_FILE_ATTRIBUTES && (found & attributes) == attributes;
}

bool isExistingFolder(const std::wstring& path) { return pathHasAttributes(path, FILE_ATTRIBUTE_DIRECTORY); }

bool isExistingFile(const std::wstring& path) {
  const DWORD found = attributesOf(path);
  return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileDeletedOnExit::remove() {
  if (removed_) return true;
  removed_ = true;
  if (DeleteFileW(path_.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ensureFolder(const std::wstring& path) {
  if (isExistingFolder(path)) return true;
  if (path.empty()) return true;
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  if (!ensureFolder(path.substr(0, slash))) return false;
  CreateDirectoryW(path.c_str(), nullptr);
  return isExistingFolder(path);
}

}  // namespace tonvane
