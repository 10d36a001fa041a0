#include "SetupInstallation.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "RegistryKey.h"
#include "RegistryValues.h"
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

std::wstring uninstallEntryPath() { return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tonvane Free"; }

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
  if (key.open(HKEY_LOCAL_MACHINE, uninstallEntryPath(), KEY_READ) == ERROR_SUCCESS) key.queryDword(name, value);
  return value;
}

bool entryExists() { return registryKeyExists(HKEY_LOCAL_MACHINE, uninstallEntryPath()); }

std::vector<std::wstring> installLogPaths(const std::wstring& logFile) {
  std::vector<std::wstring> paths;
  const std::string text = "\r\n" + readBytes(logFile);
  for (std::size_t at = text.find("\r\nPath"); at != std::string::npos; at = text.find("\r\nPath", at + 2)) {
    const std::size_t end = std::min(text.find("\r\n", at + 2), text.size());
    const std::size_t equals = text.find('=', at);
    if (equals < end) paths.emplace_back(text.begin() + equals + 1, text.begin() + end);
  }
  return paths;
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

namespace {

const int kLinkFolders[] = {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                            CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO};

}  // namespace

std::map<std::wstring, std::wstring> productLinks() {
  std::map<std::wstring, std::wstring> links;
  const HRESULT com = CoInitialize(nullptr);
  for (int csidl : kLinkFolders) {
    const std::wstring folder = shellFolder(csidl);
    std::vector<std::wstring> paths = {folder + L"Tonvane Free.lnk"};
    for (const std::wstring& name : listFolder(folder + L"Tonvane Free\\"))
      paths.push_back(folder + L"Tonvane Free\\" + name);
    for (const std::wstring& path : paths) {
      if (!fileExists(path)) continue;
      const LinkFields link = readLink(path);
      links[path] = link.path + L" | " + link.arguments + L" | " + link.description;
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return links;
}

InstallSnapshot snapshotInstallation(const std::wstring& folder) {
  InstallSnapshot result;
  result.files = filesBelow(folder);
  result.entry = registryTexts(HKEY_LOCAL_MACHINE, uninstallEntryPath());
  result.links = productLinks();
  return result;
}

void removeInstallation() {
  removeTree(defaultInstallFolder());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallEntryPath().c_str());
  for (int id : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) removeTree(shellFolder(id) + L"Tonvane Free\\");
  for (int id : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO})
    DeleteFileW((shellFolder(id) + L"Tonvane Free.lnk").c_str());
}

}  // namespace tonvane::test
