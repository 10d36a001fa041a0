// Files and folders that an elevated program later starts or reads back must
// not be writable by the user's ordinary programs: they get an access list
// of their own, with nothing inherited from the folder above. Private ones
// give full control to SYSTEM and the Administrators group and nothing to
// anyone else; an install folder gets the rights of the system's program
// folders, so ordinary users may also read and run what it holds.
#pragma once

#include <windows.h>

#include <string>

#include "ScopedHandles.h"

namespace tonvane {

// The access lists as text. Private: protected ("P", nothing inherited),
// full access for SYSTEM ("SY") and the built-in Administrators ("BA"),
// handed down to files and folders below ("OICI").
constexpr const wchar_t* kPrivateAccessList = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Like the program folders': the same, and read and execute (0x1200a9:
// read data, attributes, extended attributes and permissions, traverse,
// synchronize) for the built-in Users ("BU").
constexpr const wchar_t* kProgramFolderAccessList = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Security attributes carrying one of those access lists, for CreateFileW
// and CreateDirectoryW; the descriptor is freed with the object. When the
// descriptor cannot be built, get() is null and the caller must not go on
// as if the object were protected.
class PrivateAccess {
 public:
  explicit PrivateAccess(const wchar_t* accessList = kPrivateAccessList);
  PrivateAccess(const PrivateAccess&) = delete;
  PrivateAccess& operator=(const PrivateAccess&) = delete;

  // Not inheritable by child processes unless asked for.
  SECURITY_ATTRIBUTES* get(bool inheritableHandle = false);

  // The descriptor itself (null when it could not be built).
  PSECURITY_DESCRIPTOR descriptor() const { return descriptor_.get(); }

 private:
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor_;
  SECURITY_ATTRIBUTES attributes_ = {};
};

// Whether this process runs with an administrator's full rights (an
// elevated token); on systems without elevation, whether the user is an
// administrator.
bool processIsElevated();

// Whether the path is a junction, symbolic link or other reparse point
// (the path itself, not what it leads to).
bool isReparsePoint(const std::wstring& path);

}  // namespace tonvane
