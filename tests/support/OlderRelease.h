// An older release of Tonvane Free as the Windows Installer installs it: one
// of the packages tests/install builds with wixl from
// tests/data/OlderRelease.wxs for this build's architecture (release 1 or
// 2). Removed again at the end if it is still there.
#pragma once

#include <windows.h>

#include <string>

namespace tonvane::test {

class OlderRelease {
 public:
  explicit OlderRelease(int release = 1) : release_(release) {}
  ~OlderRelease();
  OlderRelease(const OlderRelease&) = delete;
  OlderRelease& operator=(const OlderRelease&) = delete;

  // The system's msiexec.exe installing the package quietly: its exit code,
  // 0 when installed.
  DWORD install() const;

  std::wstring productCode() const;
  // Whether its uninstall entry (under the product code) exists.
  bool registered() const;
  // The file it installs, in its own folder under Program Files.
  std::wstring file() const;

 private:
  DWORD runMsiexec(const std::wstring& arguments) const;

  int release_;
};

}  // namespace tonvane::test
