#include "SetupInstallation.h"

#include <windows.h>
#include <shlobj.h>

#include "TestFiles.h"

namespace tonvane::test {

std::wstring shellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return L"";
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring defaultInstallFolder() { return shellFolder(CSIDL_PROGRAM_FILES) + L"Tonvane Free\\"; }

std::wstring uninstallEntryPath() {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tonvane Free";
}

void removeInstallation() {
  removeTree(defaultInstallFolder());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallEntryPath().c_str());
  for (int id : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
    removeTree(shellFolder(id) + L"Tonvane Free\\");
  for (int id : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO})
    DeleteFileW((shellFolder(id) + L"Tonvane Free.lnk").c_str());
}

}  // namespace tonvane::test
