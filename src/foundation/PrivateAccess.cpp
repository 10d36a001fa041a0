#include "PrivateAccess.h"

#include <sddl.h>

#include "Paths.h"

namespace tonvane {

PrivateAccess::PrivateAccess(const wchar_t* accessList) {
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(accessList, SDDL_REVISION_1, descriptor_.receive(),
                                                            nullptr))
    descriptor_.release();  // whatever the failed call left there is not ours
}

SECURITY_ATTRIBUTES* PrivateAccess::get(bool inheritableHandle) {
  if (!descriptor_) return nullptr;
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_.get();
  attributes_.bInheritHandle = inheritableHandle ? TRUE : FALSE;
  return &attributes_;
}

bool processIsElevated() {
  TOKEN_ELEVATION elevation = {};
  {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
      return elevation.TokenIsElevated != 0;
  }
  // Before elevation existed, an administrator always had full rights.
  BOOL member = FALSE;
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  AllocatedSid administrators;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                administrators.receive()))
    return false;
  if (!CheckTokenMembership(nullptr, administrators.get(), &member)) member = FALSE;
  return member != FALSE;
}

bool isReparsePoint(const std::wstring& path) { return pathHasAttributes(path, FILE_ATTRIBUTE_REPARSE_POINT); }

}  // namespace tonvane
