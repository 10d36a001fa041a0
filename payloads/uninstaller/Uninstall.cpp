#include "Uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <set>

#include "IniDocument.h"
#include "InstallJob.h"
#include "InstallLog.h"
#include "PathText.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "ShellLink.h"
#include "SystemLibrary.h"
#include "UninstallRegistration.h"

namespace tonvane {

namespace {

// Vista's file calls, looked up rather than imported so that the program
// still starts on older systems (which then get the checks by name alone).
using FinalPathProcedure = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
using SetInformationProcedure = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// The path as the file system resolves it, through junctions and links
// ("\\?\C:\..."); "" where the system cannot say.
std::wstring finalPath(HANDLE handle) {
  static const auto procedure = kernelProcedure<FinalPathProcedure>("GetFinalPathNameByHandleW");
  if (procedure == nullptr) return std::wstring();
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = procedure(handle, &buffer[0], static_cast<DWORD>(buffer.size()),
                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(length + 1, L'\0');
  }
  return std::wstring();
}

std::wstring finalFolderPath(const std::wstring& folder) {
  const KernelHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle.valid() ? finalPath(handle.get()) : std::wstring();
}

// A drive path ("C:\...") or a network path ("\\server\..."): anything else
// (relative, device and verbatim forms) is never taken for a file of ours.
bool isFullPath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return true;
  return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' &&
         path[2] != L'.';
}

// "." and ".." steps resolved, "/" turned into "\"; pure text, the file
// system is not asked.
std::wstring normalisedPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return std::wstring();
  return buffer;
}

bool isInside(const std::wstring& path, const std::wstring& folder) {
  if (!isFullPath(path)) return false;
  const std::wstring normal = normalisedPath(path);
  return !normal.empty() && isPathInsideFolder(normal, folder);
}

// The values of the log's section "Install" in its table order, each once
// (A to Z folded), none of them looked up on disk yet.
std::vector<std::wstring> loggedPaths(const std::wstring& logPath) {
  std::vector<std::wstring> paths;
  IniDocument log;  // backslashes and quotes stay as written
  if (!log.loadFile(logPath)) return paths;
  const int section = log.findSection(L"Install");
  if (section < 0) return paths;
  std::set<std::wstring> seen;
  const EntryTable& entries = log.sectionEntries(section);
  std::wstring key, value;
  for (int i = 0; i < entries.entryCount(); ++i) {
    if (!entries.entryAt(i, key, value) || value.empty()) continue;
    if (seen.insert(lowerCase(value)).second) paths.push_back(value);
  }
  return paths;
}

enum class Removal { Removed, Missing, Folder, LeftInPlace, Outside };

bool isMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes one listed file through a handle whose final path is checked to
// lie in the install folder, so that a junction placed inside the folder
// cannot lead the deletion elsewhere.
Removal removeListedFile(const std::wstring& path, const std::wstring& folderFinal) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return isMissing(GetLastError()) ? Removal::Missing : Removal::LeftInPlace;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return Removal::Folder;

  const KernelHandle file(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                     nullptr));
  if (!file.valid()) return isMissing(GetLastError()) ? Removal::Missing : Removal::LeftInPlace;

  if (!folderFinal.empty()) {
    const std::wstring where = finalPath(file.get());
    if (where.empty() || !isPathInsideFolder(where, folderFinal)) return Removal::Outside;
  }

  static const auto setInformation =
      kernelProcedure<SetInformationProcedure>("SetFileInformationByHandle");
  if (setInformation == nullptr) {
    // Older systems: by name, the handle still keeping the file in place.
    if (attributes & FILE_ATTRIBUTE_READONLY)
      SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path.c_str()) ? Removal::Removed : Removal::LeftInPlace;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    if (basic.FileAttributes != FILE_ATTRIBUTE_NORMAL) basic.FileAttributes &= ~FILE_ATTRIBUTE_NORMAL;
    setInformation(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  return setInformation(file.get(), FileDispositionInfo, &disposition, sizeof disposition)
             ? Removal::Removed
             : Removal::LeftInPlace;
}

// The folders between each removed file and the install folder, deepest
// first; removing one fails harmlessly while it still holds anything.
void removeEmptiedFolders(const std::vector<std::wstring>& candidates, const std::wstring& folder) {
  std::set<std::wstring> seen;
  std::vector<std::wstring> folders;
  for (std::wstring path : candidates) {
    for (;;) {
      const std::size_t slash = removeTrailingBackslash(path).rfind(L'\\');
      if (slash == std::wstring::npos) break;
      path = path.substr(0, slash);
      if (!isPathInsideFolder(path, folder)) break;
      if (seen.insert(lowerCase(path)).second) folders.push_back(path);
    }
  }
  const auto depth = [](const std::wstring& path) { return std::count(path.begin(), path.end(), L'\\'); };
  std::stable_sort(folders.begin(), folders.end(),
                   [&](const std::wstring& a, const std::wstring& b) { return depth(a) > depth(b); });
  for (const std::wstring& path : folders) RemoveDirectoryW(path.c_str());
}

bool linkPointsInto(const std::wstring& linkPath, const std::wstring& folder) {
  return isInside(shortcutTarget(linkPath), folder);
}

void removeLinkInto(const std::wstring& linkFolder, const std::wstring& folder) {
  if (linkFolder.empty()) return;
  const std::wstring link = ensureTrailingBackslash(linkFolder) + kProductName + L".lnk";
  if (linkPointsInto(link, folder)) DeleteFileW(link.c_str());
}

std::vector<std::wstring> linksIn(const std::wstring& group) {
  std::vector<std::wstring> links;
  for (FolderSearch search(group + L"*.lnk"); search.found(); search.next()) {
    const WIN32_FIND_DATAW& found = search.entry();
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) links.push_back(group + found.cFileName);
  }
  return links;
}

// The group belongs to this install when one of its links points into the
// folder; its help link points to the vendor's site and goes with it.
void removeProgramGroup(const std::wstring& programs, const std::wstring& folder,
                        const std::vector<std::wstring>& helpLinkNames, bool keepUninstallLink) {
  if (programs.empty()) return;
  const std::wstring group = ensureTrailingBackslash(programs) + kProductName + L"\\";
  const std::wstring uninstaller = folder + kUninstallerFileName;
  struct Link {
    std::wstring path, target;
  };
  std::vector<Link> links;
  bool ours = false;
  for (const std::wstring& path : linksIn(group)) {
    links.push_back({path, shortcutTarget(path)});
    ours = ours || isInside(links.back().target, folder);
  }
  if (!ours) return;
  const auto isHelpLink = [&](const Link& link) {
    if (link.target == helpAddress()) return true;
    for (const std::wstring& name : helpLinkNames)
      if (!name.empty() && lowerCase(link.path) == lowerCase(group + name + L".lnk")) return true;
    return false;
  };
  for (const Link& link : links) {
    if (keepUninstallLink && samePath(link.target, uninstaller)) continue;
    if (isInside(link.target, folder) || isHelpLink(link)) DeleteFileW(link.path.c_str());
  }
  RemoveDirectoryW(group.c_str());
}

bool entryBelongsHere(const std::wstring& folder) {
  UninstallEntry entry = makeUninstallEntry(kProductName);
  if (!readUninstallEntry(entry) || entry.installLocation.empty()) return false;
  if (!isFullPath(entry.installLocation)) return false;
  return samePath(normalisedPath(entry.installLocation), folder);
}

}  // namespace

LinkFolders systemLinkFolders() {
  LinkFolders folders;
  folders.commonPrograms = specialFolderPath(CSIDL_COMMON_PROGRAMS);
  folders.userPrograms = specialFolderPath(CSIDL_PROGRAMS);
  folders.commonDesktop = specialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
  folders.userDesktop = specialFolderPath(CSIDL_DESKTOPDIRECTORY);
  folders.sendTo = specialFolderPath(CSIDL_SENDTO);
  return folders;
}

UninstallOutcome removeInstallation(const std::wstring& installFolder, const LinkFolders& links,
                                    const UninstallProgress& progress) {
  UninstallOutcome outcome;
  const std::wstring folder = ensureTrailingBackslash(normalisedPath(installFolder));
  if (folder.size() <= 1 || !isFullPath(folder)) return outcome;
  const std::wstring folderFinal = finalFolderPath(folder);
  const std::wstring logPath = folder + kInstallLogFileName;

  const std::vector<std::wstring> listed = loggedPaths(logPath);
  std::vector<std::wstring> touched;
  std::size_t done = 0;
  for (const std::wstring& path : listed) {
    if (!isInside(path, folder)) {
      outcome.outsideFolder.push_back(path);
    } else {
      const std::wstring normal = normalisedPath(path);
      switch (removeListedFile(normal, folderFinal)) {
        case Removal::Removed:
          ++outcome.removedFiles;
          touched.push_back(normal);
          break;
        case Removal::Missing:
          touched.push_back(normal);
          break;
        case Removal::Folder:
          touched.push_back(ensureTrailingBackslash(normal) + L"*");
          break;
        case Removal::LeftInPlace:
          outcome.leftInPlace.push_back(path);
          break;
        case Removal::Outside:
          outcome.outsideFolder.push_back(path);
          break;
      }
    }
    ++done;
    if (progress) progress(done, listed.size());
  }
  removeEmptiedFolders(touched, folder);

  const bool finished = outcome.everythingRemoved();
  removeProgramGroup(links.commonPrograms, folder, links.helpLinkNames, !finished);
  removeProgramGroup(links.userPrograms, folder, links.helpLinkNames, !finished);
  removeLinkInto(links.commonDesktop, folder);
  removeLinkInto(links.userDesktop, folder);
  removeLinkInto(links.sendTo, folder);

  if (finished) {
    if (entryBelongsHere(folder)) deleteUninstallEntry(kProductName);
    DeleteFileW(logPath.c_str());
  } else {
    PathList remaining;
    for (const std::wstring& path : outcome.leftInPlace) remaining.addExistingPath(path);
    saveInstallLog(remaining, logPath);
  }
  return outcome;
}

}  // namespace tonvane
