// The vendor web site's base address, a build setting (the CMake cache
// variable TONVANE_VENDOR_SITE): a plain http address ending in "/", so
// paths such as "services/tidewhistle/" are appended to it as they are.
#pragma once

#include <string>

#ifndef TONVANE_VENDOR_SITE
#error "TONVANE_VENDOR_SITE comes from the build (see the top-level CMakeLists.txt)"
#endif

namespace tonvane {

inline std::wstring vendorSite() { return L"" TONVANE_VENDOR_SITE; }

}  // namespace tonvane
