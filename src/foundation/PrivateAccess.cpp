#include "PrivateAccess.h"

#include <sddl.h>

namespace tonvane {

PrivateAccess::PrivateAccess() {
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateAccessList, SDDL_REVISION_1,
                                                            &descriptor_, nullptr))
    descriptor_ = nullptr;
}

PrivateAccess::~PrivateAccess() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}

SECURITY_ATTRIBUTES* PrivateAccess::get(bool inheritableHandle) {
  if (descriptor_ == nullptr) return nullptr;
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = inheritableHandle ? TRUE : FALSE;
  return &attributes_;
}

bool processIsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const BOOL answered = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  if (answered) return elevation.TokenIsElevated != 0;
  // Before elevation existed, an administrator always had full rights.
  BOOL member = FALSE;
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &administrators))
    return false;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

bool isReparsePoint(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace tonvane
