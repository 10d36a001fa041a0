// The install folder's text rules, apart from any window: what a folder the
// user browsed to becomes, and which folders are absolute. Pure text, so it
// also builds natively.
#pragma once

#include <cstddef>
#include <string>

#include "ProductIdentity.h"

namespace tonvane {

// The folder the edit box shows after the user browsed to `chosen`: the
// folder name is added unless `chosen` already contains it (case-sensitive),
// and the result always ends with a backslash. An empty choice (an item
// without a file-system path) gives "Tonvane Free\".
std::wstring browsedInstallFolder(const std::wstring& chosen);

// What the folder page makes of the typed folder before anything uses it:
// "/" becomes "\", repeated separators collapse (but for the two that begin
// a network path), trailing blanks and dots of each step go, as Windows
// would drop them, and a trailing backslash stays when one was typed. ""
// (refused) for a folder that is no drive or network path with its names
// (classifyPath, PathText.h: anything else is taken from the process's
// current folder, or is a device or verbatim path), a step of dots alone,
// a device name as a step (CON, NUL, AUX, PRN, COM0-9, LPT0-9, also with
// an extension) or a character no file name may hold.
std::wstring normalizedInstallFolder(const std::wstring& typed);

// The longest folder the system makes without the verbatim prefix
// (CreateDirectory leaves room for an 8.3 file name below it).
constexpr std::size_t kLongestInstallFolder = 247;

// The folder an earlier install's uninstall entry names (its
// InstallLocation), as the entry holds it, when the setup may propose it:
// a full path on a drive ("X:\..."), no longer than kLongestInstallFolder,
// that the folder page would accept as typed. "" for anything else (empty,
// relative, a network, device or verbatim path, a forward slash, a device
// name or a character no file name may hold): any program may have written
// the value, so it is trusted no more than typed text.
std::wstring earlierInstallFolder(const std::wstring& installLocation);

}  // namespace tonvane
