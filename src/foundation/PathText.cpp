#include "PathText.h"

namespace tonvane {

std::wstring ensureTrailingBackslash(const std::wstring& path) {
  if (path.empty() || path.back() == L'\\') return path;
  return path + L'\\';
}

std::wstring removeTrailingBackslash(const std::wstring& path) {
  if (!path.empty() && path.back() == L'\\') return path.substr(0, path.size() - 1);
  return path;
}

std::wstring lowerCase(const std::wstring& text) {
  std::wstring lowered = text;
  for (wchar_t& c : lowered)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return lowered;
}

std::wstring partsFolder(const PathParts& parts) { return std::wstring(parts.drive) + parts.directory; }

std::wstring partsFullPath(const PathParts& parts) {
  return std::wstring(parts.drive) + parts.directory + parts.fileName + parts.extension;
}

std::wstring partsFileNameLower(const PathParts& parts) {
  return lowerCase(std::wstring(parts.fileName) + parts.extension);
}

bool hasExtension(const PathParts& parts, const std::wstring& extension) {
  if (extension.empty()) return false;
  std::wstring wanted = lowerCase(extension);
  if (wanted[0] != L'.') wanted.insert(wanted.begin(), L'.');
  return wanted == lowerCase(parts.extension);
}

namespace {
// Windows drops trailing dots and spaces from a path step, so ". ." and "..."
// can reach the parent as surely as "..".
bool stepLeavesFolder(const std::wstring& step) {
  int dots = 0;
  for (wchar_t c : step) {
    if (c == L'.')
      ++dots;
    else if (c != L' ')
      return false;
  }
  return dots >= 2;
}
}  // namespace

bool isContainedRelativePath(const std::wstring& name) {
  if (name.empty() || name[0] == L'\\') return false;
  if (name.find(L':') != std::wstring::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find(L'\\', start);
    if (end == std::wstring::npos) end = name.size();
    if (stepLeavesFolder(name.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool isPathInsideFolder(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty()) return false;
  const std::wstring prefix = lowerCase(ensureTrailingBackslash(folder));
  if (path.size() <= prefix.size()) return false;
  // Windows also takes "/" for a separator: "a/../../x" would leave.
  if (path.find(L'/') != std::wstring::npos) return false;
  if (lowerCase(path.substr(0, prefix.size())) != prefix) return false;
  return isContainedRelativePath(path.substr(prefix.size()));
}

PathKind classifyPath(const std::wstring& path, Separators separators) {
  const auto separatorAt = [&](std::size_t at) {
    return at < path.size() && (path[at] == L'\\' || (separators == Separators::Either && path[at] == L'/'));
  };
  if (separatorAt(0)) {
    if (!separatorAt(1)) {
      const bool objectNamespace = path.size() >= 4 && path[1] == L'?' && path[2] == L'?' && separatorAt(3);
      return objectNamespace ? PathKind::Device : PathKind::Rooted;
    }
    if (path.size() > 2 && (path[2] == L'.' || path[2] == L'?')) return PathKind::Device;
    std::size_t serverEnd = 2;
    while (serverEnd < path.size() && !separatorAt(serverEnd)) ++serverEnd;
    const std::size_t shareStart = serverEnd + 1;
    if (serverEnd == 2 || shareStart >= path.size() || separatorAt(shareStart)) return PathKind::IncompleteNetwork;
    return PathKind::Network;
  }
  if (path.size() < 2 || path[1] != L':') return PathKind::Relative;
  const wchar_t drive = path[0];
  if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) return PathKind::Device;
  return separatorAt(2) ? PathKind::Drive : PathKind::DriveRelative;
}

bool isReservedDeviceName(const std::wstring& step) {
  // The base name ends at the first dot; Windows ignores the rest and any
  // trailing blanks before it.
  std::wstring base = lowerCase(step.substr(0, step.find(L'.')));
  while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) base.pop_back();
  if (base == L"con" || base == L"prn" || base == L"aux" || base == L"nul") return true;
  if (base.size() != 4) return false;
  const std::wstring stem = base.substr(0, 3);
  if (stem != L"com" && stem != L"lpt") return false;
  const wchar_t digit = base[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

bool hasForbiddenNameCharacter(const std::wstring& step) {
  for (wchar_t c : step) {
    if (c < 32) return true;
    switch (c) {
      case L'<':
      case L'>':
      case L':':
      case L'"':
      case L'/':
      case L'\\':
      case L'|':
      case L'?':
      case L'*':
        return true;
      default:
        break;
    }
  }
  return false;
}

}  // namespace tonvane
