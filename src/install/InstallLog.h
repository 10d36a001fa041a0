// The list of installed files kept in "install.log" (format in
// InstallLogText.h), and the merge of an old log with a new install.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "LongNames.h"

namespace tonvane {

// Whether two paths name the same thing: compared in their long form when
// they exist, with A to Z folded and one trailing backslash ignored.
bool samePath(const std::wstring& a, const std::wstring& b);

// Paths that existed when they were added (but for addPath), none the same as another by
// samePath, in the order of addition.
class PathList {
 public:
  const std::vector<std::wstring>& paths() const { return paths_; }
  std::size_t size() const { return paths_.size(); }

  // Appends the path as given; false when it does not exist or is listed.
  bool addExistingPath(const std::wstring& path);
  // Appends the path whether it can be found or not (a file that could not
  // be examined may still be there); false when it is listed.
  bool addPath(const std::wstring& path);
  // Appends files this install is writing into `folder` (which exists), by
  // their paths relative to it, unless listed. They, and the folders on
  // their way, may not stand at their names yet (they are staged), so
  // only the folder's long form is asked for: asking for a name that is
  // not there yet would list its folder again for every file.
  void addNewFiles(const std::wstring& folder, const std::vector<std::wstring>& relatives);

  void clear();

  // The long form of a path from the list's own cache of folder listings,
  // so that checking a log's paths costs no more than adding them.
  std::wstring longForm(const std::wstring& path) { return longNames_.longForm(path); }

 private:
  bool addCompared(const std::wstring& path, const std::wstring& longForm);

  std::vector<std::wstring> paths_;
  // The compared form of every listed path: a merge of two large logs asks
  // the file system once per new path instead of once per pair.
  std::unordered_set<std::wstring> comparedForms_;
  LongNames longNames_;
};

inline bool addExistingPath(PathList& list, const std::wstring& path) { return list.addExistingPath(path); }

// Replaces the list with the still-existing paths of the log's section
// "Install", in the log's table order. Only plain drive paths inside the
// log's own folder (the install folder) are kept: a log planted in a folder
// before the install must not carry "C:\Windows\..." into the uninstaller's
// list, nor make the setup look at a network path. False, with the list
// untouched, when the log cannot be read or has no such section.
bool loadInstallLog(const std::wstring& logPath, PathList& list);

// The log's bytes for the list (InstallLogText.h), in the ANSI code page.
std::string installLogBytes(const PathList& list);

// Writes the list as the log at `logPath` (replaceFileWithBytes,
// InstallTransaction.h), so a write that fails (a full disk, a read-only
// log) leaves the old log whole; false then.
bool saveInstallLog(const PathList& list, const std::wstring& logPath);

}  // namespace tonvane
