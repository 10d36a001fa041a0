#include "SetupLog.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "CriticalSection.h"
#include "HeldPath.h"
#include "NumberText.h"
#include "PathText.h"
#include "ScopedHandles.h"

namespace tonvane {

namespace {

class SetupLogFile {
 public:
  bool open(const std::wstring& path);
  bool isOpen();
  void write(const std::wstring& text);
  void close();

 private:
  CriticalSection lock_;
  KernelHandle file_;
};

// Lives until the process ends: a worker thread may still log while the
// main thread returns from the entry point.
SetupLogFile& theLog() {
  static SetupLogFile* const log = new SetupLogFile;
  return *log;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
  return bytes;
}

bool writeBytes(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

// Where the log goes: the root every step is checked from ("C:\" or
// "\\server\share\"), the folders below it and the file's name.
struct LogPlace {
  std::wstring root;
  std::vector<std::wstring> folders;
  std::wstring fileName;
};

// Shares that hold pipes and mailslots, never files; Windows drops
// trailing dots and blanks of a name.
bool isCommunicationShare(const std::wstring& share) {
  std::wstring name = lowerCase(share);
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  return name == L"pipe" || name == L"mailslot" || name == L"ipc$";
}

// Splits a full path of a plain drive or of a share's files. Every step is
// a name of its own: no device name (each folder is opened by itself on the
// way down, where "con" would be the console), no stream colon, no
// wildcard.
bool splitLogPlace(const std::wstring& full, LogPlace& place) {
  place = LogPlace();
  std::size_t restStart = 0;
  const PathKind kind = classifyPath(full, Separators::Backslash);
  if (kind == PathKind::Drive) {
    restStart = 3;
  } else if (kind == PathKind::Network) {
    // Both names are there; the file lies below the share.
    const std::size_t serverEnd = full.find(L'\\', 2);
    const std::size_t shareEnd = full.find(L'\\', serverEnd + 1);
    if (shareEnd == std::wstring::npos) return false;
    const std::wstring server = full.substr(2, serverEnd - 2);
    const std::wstring share = full.substr(serverEnd + 1, shareEnd - serverEnd - 1);
    if (hasForbiddenNameCharacter(server) || hasForbiddenNameCharacter(share) || isCommunicationShare(share))
      return false;
    restStart = shareEnd + 1;
  } else {
    return false;
  }
  place.root = full.substr(0, restStart);
  std::vector<std::wstring> steps;
  std::size_t start = restStart;
  for (;;) {
    const std::size_t end = full.find(L'\\', start);
    steps.push_back(full.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  for (const std::wstring& step : steps)
    if (step.empty() || step == L"." || step == L".." || hasForbiddenNameCharacter(step) || isReservedDeviceName(step))
      return false;
  place.fileName = steps.back();
  steps.pop_back();
  place.folders = std::move(steps);
  return true;
}

// What a path call that fills a buffer of the caller's gives (growing the
// buffer once when told it is too small); "" when the system cannot say.
template <typename Call>
std::wstring pathCallResult(Call call) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = call(&buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(length + 1, L'\0');
  }
  return std::wstring();
}

// A relative name taken from the current folder, "." and ".." steps and
// forward slashes resolved.
std::wstring fullPathOf(const std::wstring& path) {
  return pathCallResult(
      [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
}

// The same folder with its short names ("ADMINI~1", common in TEMP)
// written out, as final paths show them; "" when a folder is missing.
std::wstring longFolderPath(const std::wstring& folder) {
  return pathCallResult([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(folder.c_str(), buffer, size); });
}

// The folders from the root down to the log's own, each held while the
// next is opened and kept at its place (holdFolderSteps), so that no link
// anywhere on the way, in place before or swapped in meanwhile, leads the
// log elsewhere. The root is only the base the steps are compared with
// (Wine reports its drive roots, links in its prefix, as reparse points).
bool holdFolders(const LogPlace& place, std::vector<HeldPath>& held) {
  std::wstring relative;
  for (const std::wstring& name : place.folders) relative += name + L"\\";
  return holdFolderSteps(place.root, relative, held);
}

// What was opened is a plain file with this one name: not a link the open
// did not follow, not a folder, not a device, not a second name of a file
// that lives elsewhere too.
bool isPlainFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file, &information)) return false;
  if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
  return information.nNumberOfLinks <= 1;
}

bool SetupLogFile::open(const std::wstring& path) {
  // Forms that reach a device, a pipe or the system's object namespace are
  // told from the text alone, so that such a name is never even opened
  // (opening a port can already change its lines, opening a pipe hands the
  // other end this process's rights). Either separator counts, as it does
  // for the system.
  if (path.empty() || classifyPath(path, Separators::Either) == PathKind::Device) return false;
  LogPlace place;
  const std::wstring full = fullPathOf(path);
  if (!splitLogPlace(full, place)) return false;
  const std::wstring folder = longFolderPath(full.substr(0, full.size() - place.fileName.size()));
  if (folder.empty() || !splitLogPlace(ensureTrailingBackslash(folder) + place.fileName, place)) return false;
  std::vector<HeldPath> held;
  if (!holdFolders(place, held)) return false;

  std::wstring filePath = place.root;
  for (const std::wstring& name : place.folders) filePath += name + L"\\";
  filePath += place.fileName;
  // An existing file is looked at before it is emptied, and only a file
  // made here may be taken back, hence two tries rather than OPEN_ALWAYS;
  // the right to delete is asked for only then. FILE_FLAG_OPEN_REPARSE_POINT
  // opens a link at the name itself, not what it points to, so that
  // isPlainFile sees it.
  const DWORD rights = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  KernelHandle file(
      CreateFileW(filePath.c_str(), rights | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW, flags, nullptr));
  const bool made = file.valid();
  if (!made && GetLastError() == ERROR_FILE_EXISTS)
    file.reset(CreateFileW(filePath.c_str(), rights, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file.valid()) return false;
  // The name resolved once more for the file itself: a link at the name
  // that this open followed (Wine follows its links whatever the flag says)
  // puts the file elsewhere.
  const std::wstring expected = removeTrailingBackslash(held.back().finalPath()) + L"\\" + place.fileName;
  if (!sameFinalPath(finalPathOf(file.get()), expected) || !isPlainFile(file.get())) {
    // Only a file made here is taken back, through its handle.
    if (made) deleteThroughHandle(file.get());
    return false;
  }
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) return false;
  if (!writeBytes(file.get(), "\xEF\xBB\xBF")) return false;
  ScopedLock hold(lock_);
  file_ = std::move(file);
  return true;
}

bool SetupLogFile::isOpen() {
  ScopedLock hold(lock_);
  return file_.valid();
}

void SetupLogFile::write(const std::wstring& text) {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  const std::wstring stamp = decimalText(now.wHour, 2) + L":" + decimalText(now.wMinute, 2) + L":" +
                             decimalText(now.wSecond, 2) + L"." + decimalText(now.wMilliseconds, 3) + L" ";
  const std::string line = utf8(stamp + text + L"\r\n");
  ScopedLock hold(lock_);
  if (file_.valid()) writeBytes(file_.get(), line);
}

void SetupLogFile::close() {
  ScopedLock hold(lock_);
  file_.close();
}

}  // namespace

bool openSetupLog(const std::wstring& path) { return theLog().open(path); }

bool setupLogOpen() { return theLog().isOpen(); }

void setupLog(const std::wstring& text) { theLog().write(text); }

void closeSetupLog() { theLog().close(); }

std::wstring logHex(unsigned long value) { return L"0x" + hexText(value, 4, true); }

}  // namespace tonvane
