#include "SetupInstallation.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "RegistryKey.h"
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

std::wstring entryValue(const wchar_t* name) {
  RegistryKey key;
  std::wstring value;
  if (key.open(HKEY_LOCAL_MACHINE, uninstallEntryPath(), KEY_READ) == ERROR_SUCCESS)
    queryStringGrowing(key, name, value);
  return value;
}

unsigned long entryNumber(const wchar_t* name) {
  RegistryKey key;
  DWORD value = 0xFFFFFFFF;
  if (key.open(HKEY_LOCAL_MACHINE, uninstallEntryPath(), KEY_READ) == ERROR_SUCCESS)
    key.queryDword(name, value);
  return value;
}

bool entryExists() {
  RegistryKey key;
  return key.open(HKEY_LOCAL_MACHINE, uninstallEntryPath(), KEY_READ) == ERROR_SUCCESS;
}

LinkFields readLink(const std::wstring& linkPath) {
  LinkFields fields;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return fields;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ))) {
      fields.loaded = true;
      wchar_t buffer[1024] = {};
      link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH);
      fields.path = buffer;
      buffer[0] = 0;
      link->GetArguments(buffer, 1024);
      fields.arguments = buffer;
      buffer[0] = 0;
      link->GetDescription(buffer, 1024);
      fields.description = buffer;
    }
    file->Release();
  }
  link->Release();
  return fields;
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
