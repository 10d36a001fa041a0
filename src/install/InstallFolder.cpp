#include "InstallFolder.h"

#include <shlobj.h>

#include "Paths.h"
#include "ShellLink.h"

namespace tonvane {

namespace {
constexpr const wchar_t* kFallbackProgramFiles = L"C:\\Program Files";
}  // namespace

std::wstring defaultFolder() {
  std::wstring folder = specialFolderPath(CSIDL_PROGRAM_FILES);
  if (folder.empty()) folder = kFallbackProgramFiles;
  return ensureTrailingBackslash(folder) + kInstallFolderNameSlash;
}

std::wstring portableDefaultFolder() {
  return ensureTrailingBackslash(folderOfPath(std::wstring())) + kInstallFolderNameSlash;
}

}  // namespace tonvane
