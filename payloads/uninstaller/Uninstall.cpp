#include "Uninstall.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <set>

#include "HeldPath.h"
#include "InstallTransaction.h"
#include "IniDocument.h"
#include "InstallJob.h"
#include "InstallLog.h"
#include "PathText.h"
#include "PrivateFolder.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "ShellLink.h"
#include "SystemLibrary.h"
#include "UninstallRegistration.h"

namespace tonvane {

namespace {

// A shell link is a few kilobytes; anything far larger is not one of ours.
constexpr std::size_t kLinkSizeLimit = 1024 * 1024;

// "." and ".." steps resolved, "/" turned into "\"; pure text, the file
// system is not asked.
std::wstring normalisedPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return std::wstring();
  return buffer;
}

// A drive path ("C:\...") or a network path ("\\server\share\...") whose
// root is written with backslashes: anything else (relative, device and
// verbatim forms) is never taken for a file of ours.
bool isInside(const std::wstring& path, const std::wstring& folder) {
  if (!isFullPathKind(classifyPath(path, Separators::Backslash))) return false;
  const std::wstring normal = normalisedPath(path);
  return !normal.empty() && isPathInsideFolder(normal, folder);
}

// The values of the log's section "Install" in its table order, each once
// (A to Z folded), none of them looked up on disk yet. False when the log
// cannot be read or has no such section: then nothing is known to be the
// install's.
bool readLoggedPaths(const std::wstring& logPath, std::vector<std::wstring>& paths) {
  paths.clear();
  IniDocument log;  // backslashes and quotes stay as written
  if (!log.loadFile(logPath)) return false;
  const int section = log.findSection(L"Install");
  if (section < 0) return false;
  std::set<std::wstring> seen;
  const EntryTable& entries = log.sectionEntries(section);
  std::wstring key, value;
  for (int i = 0; i < entries.entryCount(); ++i) {
    if (!entries.entryAt(i, key, value) || value.empty()) continue;
    if (seen.insert(lowerCase(value)).second) paths.push_back(value);
  }
  return true;
}

enum class Removal { Removed, Missing, Folder, LeftInPlace, Outside };

bool isMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A folder's path as it is opened: without a trailing backslash (but for
// a drive's root), since Wine follows a link named with one.
std::wstring folderName(const std::wstring& path) { return path.size() > 3 ? removeTrailingBackslash(path) : path; }

// Where `path` (inside `folder` by its text) must really be: the same steps
// below the folder's final path.
std::wstring finalPathBelow(const std::wstring& folderFinal, const std::wstring& folder, const std::wstring& path) {
  return ensureTrailingBackslash(folderFinal) + path.substr(folder.size());
}

// Deletes one listed file through a handle whose final path is checked to
// lie in the install folder, so that a junction placed inside the folder
// cannot lead the deletion elsewhere. Without the folder's final path
// nothing can be checked, and nothing is deleted.
Removal removeListedFile(const std::wstring& path, const std::wstring& folderFinal) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return isMissing(GetLastError()) ? Removal::Missing : Removal::LeftInPlace;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Removal::Folder;
  if (folderFinal.empty()) return Removal::LeftInPlace;

  HeldPath file;
  if (!file.open(path, HeldPath::Access::Delete))
    return isMissing(GetLastError()) ? Removal::Missing : Removal::LeftInPlace;
  if (file.finalPath().empty()) return Removal::LeftInPlace;
  // A link at the name leads somewhere the log cannot vouch for; it stays,
  // and so does what it leads to.
  if (file.isReparsePoint() || !isPathInsideFolder(file.finalPath(), folderFinal)) return Removal::Outside;
  // Made a folder since it was looked at: the emptied folders' pass decides.
  if (file.isFolder()) return Removal::Folder;
  return file.remove() ? Removal::Removed : Removal::LeftInPlace;
}

// The folders between each removed file and the install folder, deepest
// first; removing one fails harmlessly while it still holds anything. Each
// goes through a handle that holds exactly that folder of the install, so
// a junction or link inside the install folder is never followed.
void removeEmptiedFolders(const std::vector<std::wstring>& candidates, const std::wstring& folder,
                          const std::wstring& folderFinal) {
  if (folderFinal.empty()) return;
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
  for (const std::wstring& path : folders) {
    HeldPath held;
    if (held.open(path, HeldPath::Access::Delete) && held.isFolder() &&
        held.isAt(finalPathBelow(folderFinal, folder, path)))
      held.remove();
  }
}

// A link file in a folder of the user's profile, held for deletion from the
// moment it is read: its target is read from the bytes of the file held,
// so what is judged is what is deleted.
struct HeldLink {
  HeldPath file;
  std::wstring name;
  std::wstring target;
};

// Holds `name` in the folder held as `folder` (opened at `folderPath`): a
// plain file exactly there, never a junction or link at that name or on the
// way. False when it is missing or anything else.
bool holdLink(const HeldPath& folder, const std::wstring& folderPath, const std::wstring& name, HeldLink& link) {
  if (folder.finalPath().empty()) return false;
  if (!link.file.open(ensureTrailingBackslash(folderPath) + name, HeldPath::Access::Delete)) return false;
  if (link.file.isFolder() || !link.file.isAt(ensureTrailingBackslash(folder.finalPath()) + name)) {
    link.file.close();
    return false;
  }
  std::string bytes;
  link.file.readAll(bytes, kLinkSizeLimit);
  link.name = name;
  link.target = shortcutTargetOfBytes(bytes);
  return true;
}

// The profile folder as the shell names it may itself lead elsewhere (a
// redirected folder; under Wine the desktop is a link into the home
// folder): what lies in it is judged against where the held folder really
// is.
bool holdLinkFolder(const std::wstring& path, HeldPath& folder) {
  return !path.empty() && folder.open(folderName(path), HeldPath::Access::Look) && folder.isFolder() &&
         !folder.finalPath().empty();
}

void removeLinkInto(const std::wstring& linkFolder, const std::wstring& folder) {
  HeldPath held;
  if (!holdLinkFolder(linkFolder, held)) return;
  HeldLink link;
  if (holdLink(held, linkFolder, std::wstring(kProductName) + L".lnk", link) && isInside(link.target, folder))
    link.file.remove();
}

// Vista's call, looked up rather than imported so that the program still
// starts on older systems, where no group is judged (HeldPath.h).
using FileInformationProcedure = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// The names of the links in a held folder, listed through its handle: what
// lies in the folder held, and no other search needs to share its deletion.
std::vector<std::wstring> linkNamesIn(const HeldPath& folder) {
  static const auto query = kernelProcedure<FileInformationProcedure>("GetFileInformationByHandleEx");
  std::vector<std::wstring> names;
  if (query == nullptr) return names;
  std::vector<LONGLONG> buffer(8192);  // aligned as the entries need
  const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo; query(folder.get(), kind, buffer.data(), size);
       kind = FileIdBothDirectoryInfo) {
    const BYTE* entry = reinterpret_cast<const BYTE*>(buffer.data());
    for (;;) {
      const auto* information = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(entry);
      const std::wstring name(information->FileName, information->FileNameLength / sizeof(wchar_t));
      if (!(information->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > 4 &&
          lowerCase(name.substr(name.size() - 4)) == L".lnk")
        names.push_back(name);
      if (information->NextEntryOffset == 0) break;
      entry += information->NextEntryOffset;
    }
  }
  return names;
}

// The group belongs to this install when one of its links points into the
// folder; its help link points to the vendor's site and goes with it. The
// group is held for deletion throughout, so it cannot be swapped while its
// links are judged, and goes through that handle when they have left it
// empty.
void removeProgramGroup(const std::wstring& programs, const std::wstring& folder,
                        const std::vector<std::wstring>& helpLinkNames, bool keepUninstallLink) {
  HeldPath programsHeld;
  if (!holdLinkFolder(programs, programsHeld)) return;
  const std::wstring groupPath = ensureTrailingBackslash(programs) + kProductName;
  HeldPath group;
  if (!group.open(groupPath, HeldPath::Access::Delete) || !group.isFolder() ||
      !group.isAt(ensureTrailingBackslash(programsHeld.finalPath()) + kProductName))
    return;

  const std::wstring uninstaller = folder + kUninstallerFileName;
  std::vector<HeldLink> links;
  bool ours = false;
  for (const std::wstring& name : linkNamesIn(group)) {
    HeldLink link;
    if (!holdLink(group, groupPath, name, link)) continue;
    ours = ours || isInside(link.target, folder);
    links.push_back(std::move(link));
  }
  if (!ours) return;
  const auto isHelpLink = [&](const HeldLink& link) {
    if (link.target == helpAddress()) return true;
    for (const std::wstring& name : helpLinkNames)
      if (!name.empty() && lowerCase(link.name) == lowerCase(name + L".lnk")) return true;
    return false;
  };
  for (HeldLink& link : links) {
    if (keepUninstallLink && samePath(link.target, uninstaller)) continue;
    if (isInside(link.target, folder) || isHelpLink(link)) link.file.remove();
  }
  links.clear();
  group.remove();
}

bool entryBelongsHere(const std::wstring& folder) {
  UninstallEntry entry = makeUninstallEntry(kProductName);
  if (!readUninstallEntry(entry) || entry.installLocation.empty()) return false;
  if (!isFullPathKind(classifyPath(entry.installLocation, Separators::Backslash))) return false;
  return samePath(normalisedPath(entry.installLocation), folder);
}

// What a killed setup left is dealt with first: an install killed half-way
// is finished, so that the log read next describes the files that are
// there, and a killed setup's staging folder goes. False when the install
// cannot be finished: it leaves nothing this program could trust, and
// nothing is removed.
bool finishInterruptedWork(const std::wstring& folder) {
  if (!recoverInterruptedInstall(folder)) return false;
  removeStalePrivateFolders(kStagingFolderPrefix);
  return true;
}

// Opens the install folder into `held`, which the caller keeps until the
// end so that the folder cannot be renamed or replaced while what lies in
// it is judged against where it really is, and gives its final path. A
// folder that is itself a junction or link now was not made so by the
// setup: "" then, and nothing in it is judged by where it leads.
std::wstring holdInstallFolder(const std::wstring& folder, HeldPath& held) {
  if (held.open(folderName(folder), HeldPath::Access::Look) && held.isFolder() && !held.isReparsePoint())
    return held.finalPath();
  return std::wstring();
}

// Each listed file, deleted when it lies in the folder, and the outcome
// counted; `progress` hears of every one. What the deletions may have
// emptied is returned for removeEmptiedFolders.
std::vector<std::wstring> removeListedFiles(const std::vector<std::wstring>& listed, const std::wstring& folder,
                                            const std::wstring& folderFinal, const UninstallProgress& progress,
                                            UninstallOutcome& outcome) {
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
  return touched;
}

// The links that lead into the folder: the Start menu groups, the desktops'
// links and Send To's.
void removeLinks(const LinkFolders& links, const std::wstring& folder, bool keepUninstallLink) {
  removeProgramGroup(links.commonPrograms, folder, links.helpLinkNames, keepUninstallLink);
  removeProgramGroup(links.userPrograms, folder, links.helpLinkNames, keepUninstallLink);
  removeLinkInto(links.commonDesktop, folder);
  removeLinkInto(links.userDesktop, folder);
  removeLinkInto(links.sendTo, folder);
}

// Once every listed file is gone: the uninstall entry, when it is this
// install's, and the log.
void removeEntryAndLog(const std::wstring& folder, const std::wstring& folderFinal, const std::wstring& logPath) {
  if (entryBelongsHere(folder)) deleteUninstallEntry(kProductName);
  HeldPath log;
  if (log.open(logPath, HeldPath::Access::Delete) && log.isAt(finalPathBelow(folderFinal, folder, logPath)))
    log.remove();
}

// The log rewritten for the next run, listing what stayed as it stands: a
// file that could not even be examined is still the install's. (A folder
// that could not be judged is not written to; its log stays as it was.)
void keepLogOfRemaining(const std::vector<std::wstring>& leftInPlace, const std::wstring& logPath) {
  PathList remaining;
  for (const std::wstring& path : leftInPlace) remaining.addPath(path);
  saveInstallLog(remaining, logPath);
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
  if (!isFullPathKind(classifyPath(folder, Separators::Backslash))) {
    outcome.logUnreadable = true;
    return outcome;
  }
  if (!finishInterruptedWork(folder)) {
    outcome.logUnreadable = true;
    return outcome;
  }
  HeldPath held;
  const std::wstring folderFinal = holdInstallFolder(folder, held);
  const std::wstring logPath = folder + kInstallLogFileName;

  std::vector<std::wstring> listed;
  if (!readLoggedPaths(logPath, listed)) {
    // Without the list, every link and the entry still lead to an install
    // that nothing here may take for its own.
    outcome.logUnreadable = true;
    return outcome;
  }
  const std::vector<std::wstring> touched = removeListedFiles(listed, folder, folderFinal, progress, outcome);
  removeEmptiedFolders(touched, folder, folderFinal);

  const bool finished = outcome.everythingRemoved();
  removeLinks(links, folder, !finished);
  if (finished)
    removeEntryAndLog(folder, folderFinal, logPath);
  else if (!folderFinal.empty())
    keepLogOfRemaining(outcome.leftInPlace, logPath);
  return outcome;
}

}  // namespace tonvane
