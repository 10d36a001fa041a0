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

}  // namespace tonvane
