// What would keep an install from replacing the files of an installed
// release, found before anything is changed: a program the user left
// running from the folder cannot have its file replaced, and an install
// that finds that out half-way can only roll back.
//
// Three looks, as none sees everything: the processes whose program or a
// loaded library lies in the folder (a snapshot of each), the Restart
// Manager's list for the files (where the system has one; it may answer
// nothing), and an attempt to open each file that will be replaced for
// deletion with no sharing, which finds holders neither names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tonvane {

struct ProgramInUse {
  DWORD processId = 0;
  std::wstring name;  // the title of its main window, else its file's name
};

struct FilesInUse {
  std::vector<ProgramInUse> programs;
  // Files that cannot be opened for deletion, no program named for them.
  std::vector<std::wstring> heldFiles;

  bool empty() const { return programs.empty() && heldFiles.empty(); }
};

// `folder`: the install folder; `files`: the full paths of the files the
// install will replace (those that exist are looked at).
FilesInUse findFilesInUse(const std::wstring& folder, const std::vector<std::wstring>& files);

// Asks each program to close as Windows asks at sign-out: WM_CLOSE to each
// of its top-level windows, so that it may save and end by itself; nothing
// is ended by force. Waits up to `milliseconds` for all of them to end;
// true when they did.
bool askProgramsToClose(const std::vector<ProgramInUse>& programs, DWORD milliseconds);

// How long programs are given: one that asks its user whether to save needs
// the user's answer.
constexpr DWORD kProgramClosingTime = 30000;

// The names of the programs and files, one a line, for a message or the
// setup log.
std::wstring filesInUseText(const FilesInUse& inUse);

}  // namespace tonvane
