// A folder of this process's own for what an elevated program writes and
// later starts, reads or deletes (staged installers, the uninstaller's
// copy of itself).
//
// The user's temporary folder will not do: the user holds the right to
// rename and delete anything in it, so a folder there can be moved away and
// replaced, with the private access list of the folder moving along. An
// elevated program makes its folder under the system's own temporary folder
// ("%SystemRoot%\Temp"; the machine's program data where that is missing),
// in which a normal user may add folders of their own but may not rename or
// delete anybody else's. The folder gets an access list of its own (SYSTEM
// and the Administrators, nothing inherited; PrivateAccess.h) in the call
// that makes it, its random name is never one that existed before, it is
// checked by its final path to be a plain folder exactly there, and it is
// held open, deletion not shared, until it is removed.
//
// A program without elevation has no rights worth guarding from the user's
// other programs: it uses the user's temporary folder, access list
// inherited.
#pragma once

#include <string>

#include "HeldPath.h"

namespace tonvane {

// Where private folders are made, with a trailing backslash; "" when there
// is no such folder.
std::wstring privateFolderParent();

// Removes what runs that were killed left of their private folders named
// "<prefix>NNNNNNNN" (create() with that prefix): each folder no running
// program holds, with the plain files lying in it. Nothing is followed
// through a junction or link; a folder that holds anything else stays.
void removeStalePrivateFolders(const std::wstring& prefix);

class PrivateFolder {
 public:
  PrivateFolder() = default;
  // remove().
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Makes "<parent><prefix>NNNNNNNN\" (eight random decimal digits) and
  // holds it. False, nothing made, when no folder could be made and checked
  // (no parent, no random numbers, no access list, 64 names taken).
  bool create(const std::wstring& prefix = std::wstring());

  // With its trailing backslash; "" before create() or after remove().
  const std::wstring& path() const { return path_; }
  // Where the file system has it; what lies inside is checked against this.
  const std::wstring& finalPath() const { return hold_.finalPath(); }

  // Lets go of the folder and removes it when it is empty; anything left in
  // it stays, and so does the folder. Safe to repeat.
  void remove();

  // Lets go of the folder without removing it: from now on it is the
  // caller's (or, scheduled for removal at restart, the system's).
  void release();

 private:
  HeldPath hold_;
  std::wstring path_;
};

}  // namespace tonvane
