#include "TestFiles.h"

#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tonvane::test {

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  for (unsigned attempt = 0;; ++attempt) {
    wchar_t name[64];
    swprintf(name, 64, L"tonvane-test-%lu-%u\\", GetCurrentProcessId(),
             static_cast<unsigned>(GetTickCount() + attempt));
    path_ = std::wstring(temp) + name;
    if (CreateDirectoryW(path_.c_str(), nullptr)) return;
  }
}

TempFolder::~TempFolder() { removeTree(path_); }

namespace {

// A junction or symbolic link, not what it leads to. Wine's own calls would
// act on the target: RemoveDirectoryW on a Unix link to an empty folder
// removes that folder and leaves the link, which Wine then no longer lists.
// So under Wine the link goes from the Linux side.
void removeLinkItself(const std::wstring& link) {
  const std::string unix = unixPathOf(link);
  if (!unix.empty()) {
    runUnixShell("rm -f '" + unix + "'");
    return;
  }
  if (!RemoveDirectoryW(link.c_str())) DeleteFileW(link.c_str());
}

}  // namespace

void removeTree(const std::wstring& path) {
  std::wstring folder = path;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    removeLinkItself(folder);
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        removeLinkItself(child);
        continue;
      }
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        removeTree(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

bool fileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readBytes(const std::wstring& path) {
  // Also a file another handle holds with the right to delete it, as the
  // setup holds its log.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[65536];
  DWORD count = 0;
  while (ReadFile(file, chunk, sizeof chunk, &count, nullptr) && count != 0) bytes.append(chunk, count);
  CloseHandle(file);
  return bytes;
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD count = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr);
  CloseHandle(file);
}

std::wstring winePathOfUnixPath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::wstring> listFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::wstring pattern = folder;
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((pattern + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool fillDiskLeaving(const std::wstring& file, unsigned long long left) {
  const std::wstring folder = file.substr(0, file.find_last_of(L'\\') + 1);
  ULARGE_INTEGER free = {};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr)) return false;
  if (free.QuadPart <= left || free.QuadPart > 1024 * 1024) return false;
  writeBytes(file, std::string(static_cast<std::size_t>(free.QuadPart - left), 'f'));
  return true;
}

std::map<std::wstring, std::string> filesBelow(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  const std::wstring base = folder.empty() || folder.back() == L'\\' ? folder : folder + L'\\';
  std::vector<std::wstring> pending = {L""};
  while (!pending.empty()) {
    const std::wstring below = pending.back();
    pending.pop_back();
    for (const std::wstring& name : listFolder(base + below)) {
      if (folderExists(base + below + name))
        pending.push_back(below + name + L"\\");
      else
        files[below + name] = readBytes(base + below + name);
    }
  }
  return files;
}

std::string utf8Of(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  return bytes;
}

std::string unixPathOf(const std::wstring& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return std::string();
  char* name = unixName(path.c_str());
  if (name == nullptr) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

int runUnixShell(const std::string& script, unsigned long limit) {
  static unsigned runs = 0;
  const std::string marker = "/tmp/tonvane-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount()) + "-" + std::to_string(++runs);
  const std::wstring windowsMarker = winePathOfUnixPath(marker);
  DeleteFileW(windowsMarker.c_str());
  // The file appears complete or not at all: written beside, then renamed.
  const std::string whole = "(" + script + "); echo $? >" + marker + ".part && mv " + marker + ".part " + marker;
  std::wstring commandLine = L"sh -c \"";
  for (char c : whole) commandLine += c == '"' ? std::wstring(L"\\\"") : std::wstring(1, static_cast<wchar_t>(c));
  commandLine += L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  // A Linux program comes back without usable handles.
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  const DWORD began = GetTickCount();
  while (GetFileAttributesW(windowsMarker.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - began > limit) return -1;
    Sleep(20);
  }
  int code = -1;
  if (FILE* result = _wfopen(windowsMarker.c_str(), L"r")) {
    if (std::fscanf(result, "%d", &code) != 1) code = -1;
    std::fclose(result);
  }
  DeleteFileW(windowsMarker.c_str());
  return code;
}

namespace {

// A mount point (junction) through the file system's own call; Wine 8
// answers it with ERROR_NOT_SUPPORTED.
bool makeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  bool made = false;
  if (handle != INVALID_HANDLE_VALUE) {
    std::wstring substitute = L"\\??\\" + target;
    if (!substitute.empty() && substitute.back() == L'\\') substitute.pop_back();
    const WORD nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    std::vector<BYTE> buffer(8 + 8 + nameBytes + 2 * sizeof(wchar_t), 0);
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(buffer.size() - 8);  // the data's length
    words[4] = 0;                                     // substitute name: offset, length
    words[5] = nameBytes;
    words[6] = static_cast<WORD>(nameBytes + sizeof(wchar_t));  // print name: empty
    words[7] = 0;
    std::copy(substitute.begin(), substitute.end(), reinterpret_cast<wchar_t*>(buffer.data() + 16));
    DWORD returned = 0;
    made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                           0, &returned, nullptr) != FALSE;
    CloseHandle(handle);
  }
  if (!made) RemoveDirectoryW(link.c_str());
  return made;
}

// Whether the link shows what the target holds: a file made in the target
// is seen through it.
bool leadsTo(const std::wstring& link, const std::wstring& target) {
  std::wstring folder = target;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  std::wstring through = link;
  if (!through.empty() && through.back() != L'\\') through += L'\\';
  const std::wstring probe = L"tonvane-link-probe.tmp";
  writeBytes(folder + probe, "probe");
  const bool seen = readBytes(through + probe) == "probe";
  DeleteFileW((folder + probe).c_str());
  return seen;
}

}  // namespace

bool makeFolderLink(const std::wstring& link, const std::wstring& target) {
  std::wstring name = link;
  if (!name.empty() && name.back() == L'\\') name.pop_back();
  if (makeJunction(name, target) && leadsTo(name, target)) return true;
  const std::string unixLink = unixPathOf(name), unixTarget = unixPathOf(target);
  if (unixLink.empty() || unixTarget.empty()) return false;
  std::string targetText = unixTarget;
  if (targetText.size() > 1 && targetText.back() == '/') targetText.pop_back();
  if (runUnixShell("ln -s '" + targetText + "' '" + unixLink + "'") != 0) return false;
  return (GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES && leadsTo(name, target);
}

unsigned long ordinaryUserRights(const std::wstring& path) {
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return ~0ul;
  unsigned long rights = list == nullptr ? ~0ul : 0;
  static const WELL_KNOWN_SID_TYPE ordinary[] = {WinWorldSid, WinBuiltinUsersSid, WinAuthenticatedUserSid,
                                                 WinInteractiveSid};
  GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(list, i, &entry)) continue;
    const auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    bool isOrdinary = false;
    for (WELL_KNOWN_SID_TYPE type : ordinary) isOrdinary = isOrdinary || IsWellKnownSid(sid, type);
    if (!isOrdinary) continue;
    DWORD mask = allowed->Mask;
    MapGenericMask(&mask, &mapping);
    rights |= mask;
  }
  LocalFree(descriptor);
  return rights;
}

}  // namespace tonvane::test
