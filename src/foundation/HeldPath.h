// Files and folders that an elevated program opens in places a normal
// program of the same user can change (its profile folders, its temporary
// folder, an install folder outside the system's program folders), where a
// name checked a moment ago may since lead elsewhere: a junction or link
// swapped in at the name or at a folder on the way.
//
// The rule: open once, without following a reparse point at the name
// itself; ask the open handle where it really is (its final path, which the
// file system resolves through every junction and link on the way); check
// that against where it must be; then read or delete through that same
// handle. A final path that cannot be read is a refusal, never a check
// skipped. While held, the object cannot be renamed, replaced or deleted
// by anyone else (deletion is not shared).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ScopedHandles.h"

namespace tonvane {

// The path of an open file or folder as the file system resolves it,
// "C:\..." or "\\server\share\..." (the "\\?\" form taken off); "" when the
// system cannot say, a system older than Vista included.
std::wstring finalPathOf(HANDLE handle);

// Whether two final paths name the same place: equal but for letter case
// (the file system's rule, for every script).
bool sameFinalPath(const std::wstring& a, const std::wstring& b);

// Deletes the open file (or empty folder) through its handle, which must
// hold DELETE access: it goes when its last handle closes, whatever name
// leads to it by then. False when the system refuses.
bool deleteThroughHandle(HANDLE handle);

class HeldPath {
 public:
  enum class Access {
    Look,    // attributes, final path, the data of a file
    Delete,  // all that, and deletion through the handle; keeps others
             // from opening it without sharing deletion (a process's
             // current folder among them)
  };

  HeldPath() = default;
  HeldPath(const HeldPath&) = delete;
  HeldPath& operator=(const HeldPath&) = delete;
  HeldPath(HeldPath&&) = default;
  HeldPath& operator=(HeldPath&&) = default;

  // Opens the file or folder at `path` itself, a junction or link at that
  // name included (never what it leads to), sharing reads and writes but
  // not deletion. False, with the last error of the failed call, when it
  // cannot be opened. Whatever was held before is let go.
  bool open(const std::wstring& path, Access access);

  bool isOpen() const { return handle_.valid(); }
  HANDLE get() const { return handle_.get(); }
  // "" when the system could not say (see finalPathOf).
  const std::wstring& finalPath() const { return final_; }
  bool isFolder() const;
  // A junction, symbolic link or other reparse point, as the handle or the
  // name reports it (Wine reports a link at its name only).
  bool isReparsePoint() const;

  // What is held is no reparse point and lies exactly at `expectedFinal`
  // (a final path built by the caller: a held folder's final path and the
  // names below it). False when the final path cannot be read.
  bool isAt(const std::wstring& expectedFinal) const;

  // Deletes what is held through its handle (a folder only when empty; a
  // read-only file loses that attribute first) and lets it go. Needs
  // Access::Delete. False, the object still held, when the system refuses.
  bool remove();

  // The whole content of a held file, at most `limit` bytes; false when it
  // is longer or cannot be read.
  bool readAll(std::string& bytes, std::size_t limit) const;

  void close();

 private:
  KernelHandle handle_;
  std::wstring final_;
  DWORD attributes_ = 0;
};

// Holds the folder `base` and each folder named by `relative` below it
// ("a\\b\\", steps separated by backslashes), in `steps`, base first: each
// step a folder, no reparse point, lying exactly in the one above. False,
// with nothing held, when a step is missing or fails. Held, they cannot be
// renamed, replaced or removed until `steps` lets them go.
bool holdFolderSteps(const std::wstring& base, const std::wstring& relative, std::vector<HeldPath>& steps);

}  // namespace tonvane
