// Input: UTF-16 code units, two bytes each (little-endian), taken as an
// entry name, a typed install folder, a path to place in a folder and a path
// to classify.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ArchiveWalk.h"
#include "FolderText.h"
#include "FuzzChecks.h"
#include "PathText.h"

namespace {

using tonvane::fuzz::require;

const std::wstring kInstallFolder = L"C:\\Program Files\\Tonvane Free";

std::wstring lowered(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  return text;
}

void checkInsideFolder(const std::wstring& path) {
  using namespace tonvane;
  const std::wstring prefix = kInstallFolder + L"\\";
  if (isPathInsideFolder(path, kInstallFolder)) {
    require(path.size() > prefix.size(), "the folder itself counted as inside", path);
    require(lowered(path.substr(0, prefix.size())) == lowered(prefix), "inside, yet another folder", path);
    require(path.find(L'/') == std::wstring::npos, "inside, yet holds '/'", path);
    const std::wstring rest = path.substr(prefix.size());
    require(rest[0] != L'\\' && rest.find(L':') == std::wstring::npos, "inside, yet rooted or with a colon", path);
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = rest.find(L'\\', start);
      require(!tonvane::fuzz::stepClimbs(rest.substr(start, end == std::wstring::npos ? end : end - start)),
              "inside, yet a step climbs out", path);
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
  }
  // The text as a folder: a plain child is inside, the folder itself is not.
  if (!path.empty() && path.find(L'/') == std::wstring::npos) {
    require(isPathInsideFolder(ensureTrailingBackslash(path) + L"Tonvane.exe", path),
            "a plain child is not inside its folder", path);
    require(!isPathInsideFolder(path, path) && !isPathInsideFolder(ensureTrailingBackslash(path), path),
            "a folder counted as inside itself", path);
  }
}

void checkClassification(const std::wstring& path) {
  using namespace tonvane;
  std::wstring backslashed = path;
  for (wchar_t& c : backslashed)
    if (c == L'/') c = L'\\';
  const PathKind either = classifyPath(path, Separators::Either);
  require(either == classifyPath(backslashed, Separators::Backslash),
          "'/' read as a separator is not the same as '\\' written", path);
  const std::wstring head = backslashed.substr(0, 4);
  if (head == L"\\\\.\\" || head == L"\\\\?\\" || head == L"\\??\\")
    require(either == PathKind::Device, "a device, verbatim or object-namespace path not told as one", path);
  if (isFullPathKind(either))
    require(classifyPath(ensureTrailingBackslash(path) + L"x", Separators::Either) == either,
            "a full path changes its kind when a name is added below it", path);
}

void checkInstallFolder(const std::wstring& typed) {
  using namespace tonvane;
  const std::wstring folder = normalizedInstallFolder(typed);
  if (folder.empty()) return;
  require(normalizedInstallFolder(folder) == folder, "the normalized folder changes when normalized again", typed);
  require(isFullPathKind(classifyPath(folder, Separators::Either)), "the normalized folder is not a full path", typed);
  require(folder.find(L'/') == std::wstring::npos, "the normalized folder holds '/'", typed);
  std::size_t rest = 0;
  if (folder[1] == L':') {
    require(classifyPath(folder, Separators::Backslash) == PathKind::Drive, "a drive folder that is no drive path",
            typed);
    rest = 3;
  } else {
    require(folder.compare(0, 2, L"\\\\") == 0 && folder[2] != L'?' && folder[2] != L'.',
            "a network folder that is a device or verbatim path", typed);
    rest = 2;
  }
  std::size_t steps = 0;
  std::size_t start = rest;
  while (start < folder.size()) {
    std::size_t end = folder.find(L'\\', start);
    if (end == std::wstring::npos) end = folder.size();
    const std::wstring step = folder.substr(start, end - start);
    require(!step.empty(), "the normalized folder has an empty step", typed);
    require(step.back() != L' ' && step.back() != L'.', "a step keeps a trailing blank or dot", typed);
    require(!tonvane::fuzz::stepNamesDevice(step), "a step names a device", typed);
    require(!tonvane::fuzz::stepHasForbiddenCharacter(step), "a step holds a forbidden character", typed);
    ++steps;
    start = end + 1;
  }
  require(rest == 3 || steps >= 2, "a network folder without server and share", typed);
  require(isPathInsideFolder(ensureTrailingBackslash(folder) + L"Tonvane.exe", folder),
          "the program file is not inside the normalized folder", typed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  tonvane::fuzz::checkEntryPath(text);
  checkInsideFolder(text);
  checkInstallFolder(text);
  checkClassification(text);
  return 0;
}
