// The install folder's text rules, apart from any window: what a folder the
// user browsed to becomes, and which folders are absolute. Pure text, so it
// also builds natively.
#pragma once

#include <string>

namespace tonvane {

// The application's own folder name, without and with its backslash.
constexpr const wchar_t* kInstallFolderName = L"Tonvane Free";
constexpr const wchar_t* kInstallFolderNameSlash = L"Tonvane Free\\";

// The folder the edit box shows after the user browsed to `chosen`: the
// folder name is added unless `chosen` already contains it (case-sensitive),
// and the result always ends with a backslash. An empty choice (an item
// without a file-system path) gives "Tonvane Free\".
std::wstring browsedInstallFolder(const std::wstring& chosen);

// True for "X:\..." (any drive letter, either slash) and for
// "\\server\share..." with a server and a share name. Anything else would be
// resolved against the process's current folder.
bool isAbsoluteFolder(const std::wstring& folder);

}  // namespace tonvane
