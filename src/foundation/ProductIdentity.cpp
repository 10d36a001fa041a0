#include "ProductIdentity.h"

#ifndef TONVANE_VENDOR_SITE
#error "TONVANE_VENDOR_SITE comes from the build (see the top-level CMakeLists.txt)"
#endif

namespace tonvane {

std::wstring vendorSite() { return L"" TONVANE_VENDOR_SITE; }

}  // namespace tonvane
