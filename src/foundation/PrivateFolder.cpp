// rand_s is declared only when this is defined before the first include of
// the C runtime's headers.
#define _CRT_RAND_S
#include <stdlib.h>

#include "PrivateFolder.h"

#include <shlobj.h>

#include "NumberText.h"
#include "PathText.h"
#include "Paths.h"
#include "PrivateAccess.h"
#include "ScopedHandles.h"

namespace tonvane {

namespace {

constexpr int kAttempts = 64;

std::wstring systemTemporaryFolder() {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return ensureTrailingBackslash(windows) + L"Temp\\";
}

std::wstring machineProgramData() {
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) return std::wstring();
  return ensureTrailingBackslash(folder);
}

std::wstring userTemporaryFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return temp;
}

}  // namespace

std::wstring privateFolderParent() {
  if (!processIsElevated()) return userTemporaryFolder();
  const std::wstring system = systemTemporaryFolder();
  if (!system.empty() && isExistingFolder(system)) return system;
  const std::wstring programData = machineProgramData();
  return !programData.empty() && isExistingFolder(programData) ? programData : std::wstring();
}

void removeStalePrivateFolders(const std::wstring& prefix) {
  const std::wstring parent = privateFolderParent();
  HeldPath parentHold;
  if (prefix.empty() || parent.empty() || !parentHold.open(parent, HeldPath::Access::Look) ||
      parentHold.finalPath().empty())
    return;
  const std::wstring parentFinal = ensureTrailingBackslash(parentHold.finalPath());
  for (FolderSearch search(parent + prefix + L"*"); search.found(); search.next()) {
    const std::wstring name = search.entry().cFileName;
    if (name.size() != prefix.size() + 8 || name.find_first_not_of(L"0123456789", prefix.size()) != std::wstring::npos)
      continue;
    // A run that is alive holds its folder, deletion not shared, from the
    // moment it made it: this open fails for it. A folder of a run that has
    // ended is never taken up again (a new run draws a new name).
    const std::wstring path = parent + name;
    const std::wstring expected = parentFinal + name;
    HeldPath folder;
    if (!folder.open(path, HeldPath::Access::Delete) || !folder.isFolder() || !folder.isAt(expected)) continue;
    // Held for looking while its files go: a hold for deletion would keep
    // the listing and the files' own deletion from opening the folder.
    if (!folder.open(path, HeldPath::Access::Look) || !folder.isFolder() || !folder.isAt(expected)) continue;
    const std::wstring inside = ensureTrailingBackslash(folder.finalPath());
    for (FolderSearch files(path + L"\\*"); files.found(); files.next()) {
      const WIN32_FIND_DATAW& entry = files.entry();
      if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
      HeldPath file;
      if (file.open(path + L"\\" + entry.cFileName, HeldPath::Access::Delete) && !file.isFolder() &&
          file.isAt(inside + entry.cFileName))
        file.remove();
    }
    folder.close();
    HeldPath removal;
    if (removal.open(path, HeldPath::Access::Delete) && removal.isFolder() && removal.isAt(expected)) removal.remove();
  }
}

PrivateFolder::~PrivateFolder() { remove(); }

bool PrivateFolder::create(const std::wstring& prefix) {
  remove();
  const std::wstring parent = privateFolderParent();
  if (parent.empty()) return false;
  HeldPath parentHold;
  if (!parentHold.open(parent, HeldPath::Access::Look) || parentHold.finalPath().empty()) return false;

  PrivateAccess access;
  SECURITY_ATTRIBUTES* security = nullptr;
  if (processIsElevated()) {
    security = access.get();
    if (security == nullptr) return false;
  }
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) return false;
    const std::wstring name = prefix + decimalText(value % 100000000u, 8);
    const std::wstring folder = parent + name;
    // CreateDirectoryW fails on an existing name, so a folder someone else
    // made is never taken over; draw again.
    if (!CreateDirectoryW(folder.c_str(), security)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    HeldPath hold;
    if (!hold.open(folder, HeldPath::Access::Look) || !hold.isFolder() ||
        !hold.isAt(ensureTrailingBackslash(parentHold.finalPath()) + name)) {
      hold.close();
      RemoveDirectoryW(folder.c_str());
      return false;
    }
    hold_ = std::move(hold);
    path_ = folder + L"\\";
    return true;
  }
  return false;
}

void PrivateFolder::remove() {
  if (path_.empty()) return;
  // Held for looking only: a hold for deletion would keep others from
  // opening the folder without sharing deletion, as a process started with
  // it as its current folder does. Removed through a handle that is checked
  // to be the same folder; one that still holds anything stays.
  const std::wstring where = hold_.finalPath();
  hold_.close();
  HeldPath removal;
  if (removal.open(path_, HeldPath::Access::Delete) && removal.isAt(where)) removal.remove();
  path_.clear();
}

void PrivateFolder::release() {
  hold_.close();
  path_.clear();
}

}  // namespace tonvane
