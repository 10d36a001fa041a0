#include "FolderText.h"

#include "PathText.h"

namespace tonvane {

std::wstring browsedInstallFolder(const std::wstring& chosen) {
  std::wstring folder = chosen;
  if (folder.find(kInstallFolderName) == std::wstring::npos)
    folder = ensureTrailingBackslash(folder) + kInstallFolderName;
  return ensureTrailingBackslash(folder);
}

std::wstring normalizedInstallFolder(const std::wstring& typed) {
  std::wstring text = typed;
  for (wchar_t& c : text)
    if (c == L'/') c = L'\\';
  const PathKind kind = classifyPath(text, Separators::Backslash);
  if (!isFullPathKind(kind)) return std::wstring();

  std::wstring result;
  std::size_t rest = 0;
  if (kind == PathKind::Drive) {
    result = text.substr(0, 3);
    rest = 3;
  } else {
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
  if (installLocation.size() > kLongestInstallFolder ||
      classifyPath(installLocation, Separators::Backslash) != PathKind::Drive ||
      installLocation.find(L'/') != std::wstring::npos || normalizedInstallFolder(installLocation).empty())
    return std::wstring();
  return installLocation;
}

}  // namespace tonvane
