#include "InstallFolder.h"

#include <shlobj.h>

#include "HeldPath.h"
#include "Paths.h"
#include "PrivateAccess.h"
#include "RegistryKey.h"
#include "ShellLink.h"

namespace tonvane {

namespace {
constexpr const wchar_t* kFallbackProgramFiles = L"C:\\Program Files";

void addFolder(std::vector<std::wstring>& folders, const std::wstring& folder) {
  const std::wstring plain = removeTrailingBackslash(folder);
  if (plain.empty()) return;
  for (const std::wstring& known : folders)
    if (sameFinalPath(known, plain)) return;
  folders.push_back(plain);
}

// Asked without making it: on a 32-bit system there is no second view.
std::wstring shellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return std::wstring();
  return buffer;
}
}  // namespace

std::wstring defaultFolder() {
  std::wstring folder = specialFolderPath(CSIDL_PROGRAM_FILES);
  if (folder.empty()) folder = kFallbackProgramFiles;
  return ensureTrailingBackslash(folder) + kInstallFolderNameSlash;
}

std::wstring portableDefaultFolder() {
  return ensureTrailingBackslash(folderOfPath(std::wstring())) + kInstallFolderNameSlash;
}

std::vector<std::wstring> systemProgramFolders() {
  std::vector<std::wstring> folders;
  addFolder(folders, shellFolder(CSIDL_PROGRAM_FILES));
  addFolder(folders, shellFolder(CSIDL_PROGRAM_FILESX86));
  wchar_t native[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
  if (length > 0 && length < MAX_PATH) addFolder(folders, native);
  RegistryKey key;
  std::wstring registered;
  if (key.open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", KEY_READ | KEY_WOW64_64KEY) ==
          ERROR_SUCCESS &&
      queryStringGrowing(key, L"ProgramW6432Dir", registered) == ERROR_SUCCESS)
    addFolder(folders, registered);
  return folders;
}

bool isBelowSystemProgramFolder(const std::wstring& folder) {
  const std::wstring plain = removeTrailingBackslash(folder);
  for (const std::wstring& programs : systemProgramFolders())
    if (isPathInsideFolder(plain, programs)) return true;
  return false;
}

InstallFolderRights makeInstallFolder(const std::wstring& typed, bool portable) {
  const std::wstring folder = removeTrailingBackslash(typed);
  if (isExistingPath(folder)) return InstallFolderRights::Existing;
  if (portable || isBelowSystemProgramFolder(folder))
    return ensureFolder(folder) ? InstallFolderRights::Inherited : InstallFolderRights::NotMade;

  PrivateAccess access(kProgramFolderAccessList);
  SECURITY_ATTRIBUTES* security = access.get();
  if (security == nullptr) return InstallFolderRights::NoAccessList;
  const std::size_t slash = folder.rfind(L'\\');
  if (slash == std::wstring::npos) return InstallFolderRights::NotMade;
  // A folder at a drive's top lies in "C:\", not in the drive's current folder.
  const std::wstring parent = folder.substr(0, slash > 0 && folder[slash - 1] == L':' ? slash + 1 : slash);
  if (!ensureFolder(parent)) return InstallFolderRights::NotMade;
  if (CreateDirectoryW(folder.c_str(), security)) return InstallFolderRights::ProgramFolder;
  // Made by someone else in the meantime: theirs, as an existing one is.
  return GetLastError() == ERROR_ALREADY_EXISTS ? InstallFolderRights::Existing : InstallFolderRights::NotMade;
}

}  // namespace tonvane
