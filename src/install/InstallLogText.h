// The text of "install.log", the list of installed files that the
// uninstaller reads:
//
//   [Install]
//   Path1=C:\Program Files\Tonvane Free\Tonvane.exe
//   Path2=C:\Program Files\Tonvane Free\resource\a.png
//
// Lines are separated by CR LF and the text ends right after the last path
// (a log without paths is "[Install]" alone). Paths are numbered from 1 in
// list order. On disk the text is in the ANSI code page, without a
// byte-order mark. Readers take every value of section "Install" as a path,
// whatever its key.
//
// Pure text: no platform headers here.
#pragma once

#include <string>
#include <vector>

namespace tonvane {

std::wstring installLogText(const std::vector<std::wstring>& paths);

}  // namespace tonvane
