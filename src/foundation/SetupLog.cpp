#include "SetupLog.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "CriticalSection.h"
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
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length,
                      nullptr, nullptr);
  return bytes;
}

bool writeBytes(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// Names that reach a device rather than a file, told from the text alone so
// that such a name is never even opened for writing (opening a port can
// already change its lines).
bool namesDevice(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\.\\") == 0 || path.compare(0, 4, L"//./") == 0) return true;
  const std::size_t slash = path.find_last_of(L"\\/:");
  return isReservedDeviceName(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// What was opened is a plain file with this one name: not a link the open
// did not follow, not a folder, not a device, not a second name of a file
// that lives elsewhere too.
bool isPlainFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file, &information)) return false;
  if (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    return false;
  return information.nNumberOfLinks <= 1;
}

bool SetupLogFile::open(const std::wstring& path) {
  if (path.empty() || namesDevice(path)) return false;
  // OPEN_ALWAYS rather than CREATE_ALWAYS: an existing file is looked at
  // before it is emptied. FILE_FLAG_OPEN_REPARSE_POINT opens a link at the
  // name itself, not what it points to, so that isPlainFile sees it.
  KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid() || !isPlainFile(file.get())) return false;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()))
    return false;
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
