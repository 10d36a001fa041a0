// Path-string helpers that need no platform: pure text, so they also build
// natively for fuzzing and sanitizers.
#pragma once

#include <string>

namespace tonvane {

// A path split the way the C runtime's safe splitpath does it; each field is
// zero-terminated within its width.
struct PathParts {
  wchar_t drive[3] = {};        // "C:"
  wchar_t directory[256] = {};  // "\\A\\B\\" with leading and trailing backslash
  wchar_t fileName[256] = {};   // without extension
  wchar_t extension[256] = {};  // with its leading dot
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

// How the system reads the start of a path, from the text alone: whether it
// names a place by itself or is taken from some current folder, and whether
// it reaches past the file system's names altogether. The steps after the
// root are not judged here.
enum class PathKind {
  Relative,           // "a\b", "": from the current folder
  DriveRelative,      // "C:a", "C:": from that drive's current folder
  Rooted,             // "\a": from the root of the current folder's drive
  Drive,              // "C:\a": a full path on a drive, A to Z in either case
  Network,            // "\\server\share...": a full path on a share, both named
  IncompleteNetwork,  // "\\server", "\\server\", "\\\share", "\\server\\share":
                      // a network form short of a server or a share name
  // "\\.\", "\\?\" and "\??\": devices, verbatim paths and the object
  // namespace, which no check of a name reaches. Also "\\." and "\\?"
  // followed by anything else (the system would look for such a server,
  // but none can be named so) and a colon after anything but a letter
  // ("1:\x" names a device the system looks up, not a drive).
  Device,
};

// Whether "/" separates steps, as it does for the system, or is taken as
// written: a caller that accepts backslashes only reads "C:/x" as "C:"
// followed by a name, a drive-relative path.
enum class Separators { Backslash, Either };

PathKind classifyPath(const std::wstring& path, Separators separators);

// A drive or network path with its names: what is the same wherever the
// program runs from.
inline bool isFullPathKind(PathKind kind) { return kind == PathKind::Drive || kind == PathKind::Network; }

}  // namespace tonvane
