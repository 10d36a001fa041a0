// The shell helpers of the shortcut step: special folders and shell links.
// Results report failure; nothing is shown.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane {

// SHGetSpecialFolderPathW of a CSIDL number, the shell creating the folder
// when it is missing; without a trailing backslash. "" on failure.
std::wstring specialFolderPath(int csidl);

// Writes a shell link at `linkPath` (replacing a file of that name) to
// `target`, with `description` (set also when empty) and, unless empty,
// `arguments`. No working folder, icon or hot key: the shell's defaults.
// COM must be initialised on the calling thread. True when the link file
// was saved.
bool createShortcut(const std::wstring& target, const std::wstring& linkPath, const std::wstring& description,
                    const std::wstring& arguments);

// The target a shell link holds, as stored (environment variables not
// expanded, no search for a moved target); "" when the link cannot be
// loaded or holds no file system path. COM must be initialised on the
// calling thread.
std::wstring shortcutTarget(const std::wstring& linkPath);

// The same from a link file's bytes already read, so that a caller who
// judges a link by its target judges exactly the file it holds open.
std::wstring shortcutTargetOfBytes(const std::string& bytes);

}  // namespace tonvane
