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

std::wstring normalizedInstallFolder(const std::wstring& typed) {
  std::wstring text = typed;
  for (wchar_t& c : text)
    if (c == L'/') c = L'\\';
  if (!isAbsoluteFolder(text)) return std::wstring();

  std::wstring result;
  std::size_t rest = 0;
  if (text[1] == L':') {
    result = text.substr(0, 3);
    rest = 3;
  } else {
    // "\\?\" and "\\.\" reach devices and skip every check of the name.
    if (text.size() >= 3 && (text[2] == L'?' || text[2] == L'.')) return std::wstring();
    result = L"\\\\";
    rest = 2;
  }

  // Blanks after the last separator are no step at all.
  std::size_t end = text.size();
  while (end > rest && text[end - 1] == L' ') --end;
  const bool trailingSeparator = end > rest && text[end - 1] == L'\\';

  std::size_t steps = 0;
  std::size_t start = rest;
  while (start < end) {
    std::size_t stop = text.find(L'\\', start);
    if (stop == std::wstring::npos || stop > end) stop = end;
    std::wstring step = text.substr(start, stop - start);
    start = stop + 1;
    if (step.empty()) continue;  // repeated separators
    while (!step.empty() && (step.back() == L' ' || step.back() == L'.')) step.pop_back();
    if (step.empty()) return std::wstring();  // ".", ".." and the like
    if (isReservedDeviceName(step) || hasForbiddenNameCharacter(step)) return std::wstring();
    if (steps++ > 0) result += L'\\';
    result += step;
  }
  // A network path needs its server and share.
  if (result[1] == L'\\' && steps < 2) return std::wstring();
  if (trailingSeparator && steps > 0) result += L'\\';
  return result;
}

std::wstring earlierInstallFolder(const std::wstring& installLocation) {
  if (installLocation.size() > kLongestInstallFolder || !isPlainDrivePath(installLocation) ||
      normalizedInstallFolder(installLocation).empty())
    return std::wstring();
  return installLocation;
}

}  // namespace tonvane
