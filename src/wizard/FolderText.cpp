#include "FolderText.h"

#include "PathText.h"

namespace tonvane {

namespace {
bool isSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
}  // namespace

std::wstring browsedInstallFolder(const std::wstring& chosen) {
  std::wstring folder = chosen;
  if (folder.find(kInstallFolderName) == std::wstring::npos)
    folder = ensureTrailingBackslash(folder) + kInstallFolderName;
  return ensureTrailingBackslash(folder);
}

bool isAbsoluteFolder(const std::wstring& folder) {
  if (folder.size() >= 3 && isDriveLetter(folder[0]) && folder[1] == L':' && isSlash(folder[2]))
    return true;
  if (folder.size() < 2 || !isSlash(folder[0]) || !isSlash(folder[1])) return false;
  const std::size_t serverEnd = folder.find_first_of(L"\\/", 2);
  if (serverEnd == std::wstring::npos || serverEnd == 2) return false;
  // The share name runs to the next slash or the end; it must not be empty.
  const std::size_t shareStart = serverEnd + 1;
  return shareStart < folder.size() && !isSlash(folder[shareStart]);
}

}  // namespace tonvane
