// Path-string helpers that need no platform: pure text, so they also build
// natively for fuzzing and sanitizers.
#pragma once

#include <string>

namespace tonvane {

// A path split the way the C runtime's safe splitpath does it; each field is
// zero-terminated within its width.
struct PathParts {
  wchar_t drive[3] = {};       // "C:"
  wchar_t directory[256] = {}; // "\\A\\B\\" with leading and trailing backslash
  wchar_t fileName[256] = {};  // without extension
  wchar_t extension[256] = {}; // with its leading dot
};

// Appends one backslash unless the path is empty or already ends with one.
std::wstring ensureTrailingBackslash(const std::wstring& path);

// Drops one trailing backslash, if there is one.
std::wstring removeTrailingBackslash(const std::wstring& path);

// Letters A to Z lowered; every other character kept.
std::wstring lowerCase(const std::wstring& text);

std::wstring partsFolder(const PathParts& parts);
std::wstring partsFullPath(const PathParts& parts);
std::wstring partsFileNameLower(const PathParts& parts);

// "exe", ".exe" and "EXE" all match an extension ".Exe"; "" never matches.
bool hasExtension(const PathParts& parts, const std::wstring& extension);

// True when a relative name (backslash-separated) stays inside the folder it
// is joined to: not rooted, no drive or stream colon, no step up the tree.
bool isContainedRelativePath(const std::wstring& name);

// True for a path step Windows takes for a device whatever folder it is in:
// CON, PRN, AUX, NUL, COM0 to COM9 and LPT0 to LPT9 (also with a superscript
// 1, 2 or 3), in any letter case, also with an extension ("nul.txt") and
// with trailing dots or blanks, which Windows drops.
bool isReservedDeviceName(const std::wstring& step);

// True when the step holds a character no file name may hold: < > : " / the
// backslash, | ? * or a control character.
bool hasForbiddenNameCharacter(const std::wstring& step);

// True when `path` names something below `folder` (not the folder itself):
// the folder with a trailing backslash begins the path, A to Z folded, and
// the rest is a contained relative path. Both are taken as written: make
// them full paths first.
bool isPathInsideFolder(const std::wstring& path, const std::wstring& folder);

// "X:\..." with a drive letter and backslashes only: no network, device or
// verbatim form, no forward slash.
bool isPlainDrivePath(const std::wstring& path);

}  // namespace tonvane
