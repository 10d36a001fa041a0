// Files and folders that an elevated program later starts or reads back must
// not be writable by the user's ordinary programs: they get an access list
// of their own, full control for SYSTEM and the Administrators group and
// nothing for anyone else, with nothing inherited from the folder above.
#pragma once

#include <windows.h>

#include <string>

#include "ScopedHandles.h"

namespace tonvane {

// Security attributes carrying that access list, for CreateFileW and
// CreateDirectoryW; the descriptor is freed with the object. When the
// descriptor cannot be built, get() is null and the caller must not go on
// as if the object were private.
class PrivateAccess {
 public:
  PrivateAccess();
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

// The access list as text: protected ("P", nothing inherited), full access
// for SYSTEM ("SY") and the built-in Administrators ("BA").
constexpr const wchar_t* kPrivateAccessList = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

}  // namespace tonvane
