// The text of the install journal, "install.journal" in the install folder:
// what an install that is in flight has changed or is about to change, so
// that a later run can finish it after the setup was killed or the machine
// lost power.
//
//   Tonvane install journal 1
//   Phase=Staging
//   FolderMade=1
//   Folder=resource
//   Folder=resource\icons
//   File=1 Tonvane.exe
//   File=0 resource\icons\new.png
//   End
//
// UTF-8 without a byte-order mark, each line ended by CR LF (no other CR or
// LF, no NUL); the first line and "End" are exact, and nothing may follow
// "End" but its CR LF. The lines come in the order shown: the first line,
// Phase, FolderMade, the Folder lines, the File lines, End; so a journal has
// exactly one text. Phase is Staging, Switching or RollingBack.
// FolderMade=1 when the install made the install folder itself. Each Folder
// line names a folder the install made below it, parents before children
// (the writer's promise; the reader does not check it); each File line a
// file it writes, "1" when a file of that name was there before the install
// began, "0" when it was not. Every path is a journal path (isJournalPath),
// relative to the install folder; no path is listed twice among the
// folders, nor among the files (A to Z folded).
//
// A journal may have been planted by anyone who could write in the folder,
// and it is read by a program that runs as administrator: a text that does
// not follow these rules in every byte is no journal at all.
//
// Pure text: no platform headers here, so this builds natively for fuzzing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ProductIdentity.h"

namespace tonvane {

// Longest journal read; a longer file is no journal.
constexpr std::size_t kLongestJournal = 16u * 1024u * 1024u;

enum class JournalPhase {
  Staging,      // new files are being written beside their destinations
  Switching,    // old files are moved aside, new ones into their places
  RollingBack,  // a failed switch is being undone
};

struct JournalFile {
  std::wstring path;  // relative to the install folder
  bool existed = false;
};

struct Journal {
  JournalPhase phase = JournalPhase::Staging;
  bool folderMade = false;
  std::vector<std::wstring> folders;  // relative, parents first
  std::vector<JournalFile> files;
};

// Whether `path` may stand in a journal: a relative path that safeEntryPath
// returns unchanged, not empty, well-formed UTF-16 (UTF-32 where wchar_t
// has 32 bits), without an empty step (so without a trailing backslash)
// and without a step that ends in a dot or blank. Windows drops those
// endings, so "a." would be "a" under a second name, and "." its folder.
bool isJournalPath(const std::wstring& path);

// The journal's bytes. Paths that are not journal paths, and repeats after
// the first, are left out. Bytes longer than kLongestJournal are not read
// back: a writer must refuse a plan that large rather than write them.
std::string journalBytes(const Journal& journal);

// Parses the bytes; false, with `journal` left as it was, when they are not
// a journal by the rules above.
bool parseJournal(const std::string& bytes, Journal& journal);

}  // namespace tonvane
