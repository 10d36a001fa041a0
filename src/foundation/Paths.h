// Path helpers that ask the platform: splitting, the program's own path,
// what exists on disk, creating folders, and files that must not outlive a
// scope.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "PathText.h"

namespace tonvane {

// The running program's full path.
std::wstring modulePath();

// The C runtime's safe splitpath; the empty path stands for modulePath().
PathParts splitPath(const std::wstring& path);

// A file path gives its folder, a folder path with a trailing backslash its
// parent, the empty path the running program's folder; always with a
// trailing backslash when a folder is present.
std::wstring folderOfPath(const std::wstring& path);

// Creates every missing level; true when the path is (now) an existing
// folder. A name without any backslash that does not exist gives false.
bool ensureFolder(const std::wstring& path);

// What GetFileAttributesW finds at the path itself (a link is not followed).
// A path that cannot be asked about counts as missing.
bool isExistingPath(const std::wstring& path);  // a file or a folder
bool isExistingFolder(const std::wstring& path);
bool isExistingFile(const std::wstring& path);  // anything but a folder
// Whether the path exists with every attribute in `attributes` set
// (FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_REPARSE_POINT, ...).
bool pathHasAttributes(const std::wstring& path, std::uint32_t attributes);

// A file a scope writes only to use it there: deleted when the owner ends,
// on every way out (a failure, a fault unwinding through the scope), or
// earlier by remove(). Whatever is at the path then is taken for that file.
class FileDeletedOnExit {
 public:
  explicit FileDeletedOnExit(std::wstring path) : path_(std::move(path)) {}
  ~FileDeletedOnExit() { remove(); }
  FileDeletedOnExit(const FileDeletedOnExit&) = delete;
  FileDeletedOnExit& operator=(const FileDeletedOnExit&) = delete;

  const std::wstring& path() const { return path_; }
  // Deletes the file now (once; later calls and the end do nothing). True
  // when it is gone or was never there.
  bool remove();

 private:
  std::wstring path_;
  bool removed_ = false;
};

}  // namespace tonvane
