// The uninstaller's command line. Pure text, no platform calls.
//
//   TonvaneUninstaller.exe /Uninstall [/S] [/lang:CODE]
//     /Uninstall  what the uninstall entry and the Start menu link hold;
//                 without it the program only says how it is used
//     /S          no question and no window (administrators' scripts)
//     /lang:CODE  "jpn" for Japanese, anything else English; without it
//                 the user's language decides, as in the setup
//   TonvaneUninstaller.exe /Finish HANDLE "FOLDER"
//     the uninstaller's own copy in the temporary folder, which removes the
//     uninstaller's file and the install folder once the original (HANDLE,
//     a process handle it inherited) has ended
// Options are compared without regard to the case of A to Z.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

struct UninstallerOptions {
  bool uninstall = false;
  bool silent = false;
  bool finish = false;
  std::uintptr_t originalProcess = 0;  // with finish
  std::wstring installFolder;          // with finish
};

// `arguments[0]` is the program and is not examined. "/Finish" counts only
// with a decimal handle and a folder after it.
UninstallerOptions parseUninstallerOptions(const std::vector<std::wstring>& arguments);

}  // namespace tonvane
