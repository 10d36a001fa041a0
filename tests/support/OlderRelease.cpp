#include "OlderRelease.h"

#include <shlobj.h>

#include "RegistryValues.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "TestFiles.h"

namespace tonvane::test {

OlderRelease::~OlderRelease() {
  if (registered()) runMsiexec(L"/x" + productCode() + L" /qn");
}

DWORD OlderRelease::install() const {
  return runMsiexec(L"/i \"" + winePathOfUnixPath(TONVANE_OLDER_RELEASES_DIR) + L"\\release" +
                    std::to_wstring(release_) + L".msi\" /qn");
}

std::wstring OlderRelease::productCode() const {
  return L"{1D0A5E00-7A3C-4E21-9B3F-00000000000" + std::to_wstring(release_) + L"}";
}

bool OlderRelease::registered() const {
  return registryKeyExists(HKEY_LOCAL_MACHINE,
                           L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode());
}

std::wstring OlderRelease::file() const {
  wchar_t programFiles[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
  return std::wstring(programFiles) + L"\\Tonvane Free 4." + std::to_wstring(release_) + L"\\readme.txt";
}

DWORD OlderRelease::runMsiexec(const std::wstring& arguments) const {
  SetupRun msiexec;
  if (!msiexec.start(arguments, shellFolder(CSIDL_SYSTEM) + L"msiexec.exe")) return 0xFFFFFFFF;
  return msiexec.waitForExit(180000);
}

}  // namespace tonvane::test
