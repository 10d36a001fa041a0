#include "LongNames.h"

#include <windows.h>

#include "PathText.h"
#include "ScopedHandles.h"

namespace tonvane {

namespace {

constexpr DWORD kLongPathCapacity = 261;

std::wstring upper(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// Only drive paths with backslashes and plain steps are answered from
// listings; "\\server\share", "\\?\", ".", "..", "/" and wildcards go
// to the system.
bool answeredFromListings(const std::wstring& path) {
  if (classifyPath(path, Separators::Backslash) != PathKind::Drive) return false;
  if (path.find_first_of(L"/*?") != std::wstring::npos) return false;
  std::size_t start = 3;
  while (start < path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring step = path.substr(start, end - start);
    if (step.empty() || step == L"." || step == L"..") return false;
    start = end + 1;
  }
  return true;
}

// The system's own test of an 8.3 name (ntdll is always loaded).
bool mayBeShortName(const std::wstring& step) {
  struct CountedString {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
  };
  using Proc = BOOLEAN(WINAPI*)(const CountedString*, void*, BOOLEAN*);
  static const Proc isLegal = reinterpret_cast<Proc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlIsNameLegalDOS8Dot3")));
  if (isLegal == nullptr || step.size() > 255) return true;
  std::wstring copy = step;
  const CountedString name = {static_cast<USHORT>(copy.size() * 2), static_cast<USHORT>(copy.size() * 2), &copy[0]};
  BOOLEAN spaces = FALSE;
  return isLegal(&name, nullptr, &spaces) != FALSE;
}

}  // namespace

std::wstring systemLongForm(const std::wstring& path) {
  wchar_t longPath[kLongPathCapacity] = {};
  const DWORD length = GetLongPathNameW(path.c_str(), longPath, kLongPathCapacity);
  if (length == 0 || length >= kLongPathCapacity) return path;
  return std::wstring(longPath, length);
}

const LongNames::Listing& LongNames::listing(const std::wstring& folder, bool refresh) {
  const std::wstring key = upper(folder);
  auto found = folders_.find(key);
  if (found != folders_.end() && !refresh) return found->second;

  Listing entries;
  for (FolderSearch search(folder + L"*"); search.found(); search.next()) {
    const WIN32_FIND_DATAW& data = search.entry();
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries[upper(name)] = name;
    if (data.cAlternateFileName[0] != L'\0') entries.emplace(upper(data.cAlternateFileName), name);
  }
  return folders_[key] = std::move(entries);
}

std::wstring LongNames::resolve(const std::wstring& path) {
  if (path.size() <= 3) return path;  // the drive's root
  const bool trailing = path.back() == L'\\';
  const std::size_t stepEnd = path.size() - (trailing ? 1 : 0);
  const std::size_t slash = path.rfind(L'\\', stepEnd - 1);

  // Most paths share their folder with many others: resolve each folder once.
  std::wstring folder;
  if (slash == 2) {
    folder = path.substr(0, 3);
  } else {
    const std::wstring typedFolder = path.substr(0, slash + 1);
    const std::wstring key = upper(typedFolder);
    auto cached = resolvedFolders_.find(key);
    if (cached != resolvedFolders_.end() && cached->second.typed == typedFolder) {
      folder = cached->second.resolved;
    } else {
      folder = resolve(typedFolder);
      if (folder.empty()) return std::wstring();
      resolvedFolders_[key] = {typedFolder, folder};
    }
  }

  const std::wstring step = path.substr(slash + 1, stepEnd - slash - 1);
  const std::wstring key = upper(step);
  // A name missing from the listing may have been written since.
  const Listing* entries = &listing(folder, false);
  auto found = entries->find(key);
  if (found == entries->end()) {
    entries = &listing(folder, true);
    found = entries->find(key);
    if (found == entries->end()) return std::wstring();
  }
  // As GetLongPathNameW does it: a step that could be a short (8.3) name
  // takes the name on disk, any other step stays as the caller wrote it.
  std::wstring result = folder + (mayBeShortName(step) ? found->second : step);
  if (trailing) result += L'\\';
  return result;
}

std::wstring LongNames::longForm(const std::wstring& path) {
  if (!answeredFromListings(path)) return systemLongForm(path);
  const std::wstring result = resolve(path);
  if (result.empty()) return systemLongForm(path);
  if (result.size() >= kLongPathCapacity) return path;
  return result;
}

}  // namespace tonvane
