#include "FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

#include "ArchiveWalk.h"
#include "PathText.h"

namespace tonvane::fuzz {

void fail(const char* what, const std::wstring& text) {
  std::fprintf(stderr, "\n*** invariant violated: %s\n*** text (%zu units): \"", what, text.size());
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7f && c != L'\\' && c != L'"')
      std::fputc(static_cast<int>(c), stderr);
    else
      std::fprintf(stderr, "\\u%04x", static_cast<unsigned>(c));
  }
  std::fprintf(stderr, "\"\n");
  std::abort();
}

namespace {
wchar_t lowered(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }
}  // namespace

bool stepClimbs(const std::wstring& step) {
  std::size_t dots = 0;
  for (wchar_t c : step) {
    if (c == L'.')
      ++dots;
    else if (c != L' ')
      return false;
  }
  return dots >= 2;
}

bool stepNamesDevice(const std::wstring& step) {
  std::wstring base;
  for (wchar_t c : step) {
    if (c == L'.') break;
    base += lowered(c);
  }
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const wchar_t* name : {L"con", L"prn", L"aux", L"nul"})
    if (base == name) return true;
  if (base.size() != 4 || (base.compare(0, 3, L"com") != 0 && base.compare(0, 3, L"lpt") != 0)) return false;
  const wchar_t digit = base[3];
  return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool stepHasForbiddenCharacter(const std::wstring& step) {
  for (wchar_t c : step)
    if (c < 0x20 || std::wstring(L"<>:\"/\\|?*").find(c) != std::wstring::npos) return true;
  return false;
}

std::wstring expectedEntryPath(const std::wstring& name) {
  std::wstring path = name;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.empty() || path[0] == L'\\') return std::wstring();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring step = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    // A colon is a drive or a stream, wherever it is.
    if (stepClimbs(step) || stepHasForbiddenCharacter(step) || stepNamesDevice(step)) return std::wstring();
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return path;
}

void checkEntryPath(const std::wstring& name) {
  const std::wstring result = safeEntryPath(name);
  require(result == expectedEntryPath(name), "safeEntryPath disagrees with the independent rules", name);
  if (result.empty()) return;

  require(result.find(L'/') == std::wstring::npos, "accepted entry path holds '/'", name);
  require(result.find(L':') == std::wstring::npos, "accepted entry path holds ':'", name);
  require(result[0] != L'\\', "accepted entry path is rooted", name);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = result.find(L'\\', start);
    const std::wstring step = result.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    require(!stepClimbs(step), "accepted entry path climbs", name);
    require(!stepNamesDevice(step), "accepted entry path names a device", name);
    require(!stepHasForbiddenCharacter(step), "accepted entry path holds a forbidden character", name);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  const bool folderEntry = name.back() == L'/' || name.back() == L'\\';
  require(!folderEntry || result.back() == L'\\', "a folder entry lost its trailing backslash", name);

  static const std::wstring installFolder = L"C:\\Program Files\\Tonvane Free";
  require(isPathInsideFolder(installFolder + L"\\" + result, installFolder),
          "accepted entry path leaves the install folder once joined", name);
}

}  // namespace tonvane::fuzz
