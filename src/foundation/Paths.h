// Path helpers that ask the platform: splitting, the program's own path, and
// creating folders.
#pragma once

#include <string>

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

}  // namespace tonvane
