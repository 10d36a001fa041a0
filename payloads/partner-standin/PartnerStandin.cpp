// A stand-in for the partner installers the setup offers, carried in their
// archives until the partners' own programs take their place. It installs
// nothing: it appends the command line it was started with (UTF-8, then
// CR LF) to the file named by TONVANE_PARTNER_LOG, and its current folder
// to the file named by TONVANE_PARTNER_FOLDER_LOG, when they are set, and
// ends with exit code 0. Plain Win32 only, so that the two copies the setup
// carries stay small.
#include <windows.h>

namespace {

// Longest value an environment variable can hold, with its terminator.
constexpr DWORD kEnvironmentLimit = 32767;

void appendLine(const wchar_t* logPath, const wchar_t* line) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return;
  HANDLE heap = GetProcessHeap();
  // The converted text with its terminator replaced by CR LF.
  auto* bytes = static_cast<char*>(HeapAlloc(heap, 0, static_cast<SIZE_T>(size) + 1));
  if (bytes == nullptr) return;
  WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, size, nullptr, nullptr);
  bytes[size - 1] = '\r';
  bytes[size] = '\n';
  // Appending keeps the lines of several runs (both offers) in one file.
  HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(size) + 1, &written, nullptr);
    CloseHandle(file);
  }
  HeapFree(heap, 0, bytes);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HANDLE heap = GetProcessHeap();
  auto* logPath = static_cast<wchar_t*>(HeapAlloc(heap, 0, kEnvironmentLimit * sizeof(wchar_t)));
  if (logPath == nullptr) return 0;
  DWORD length = GetEnvironmentVariableW(L"TONVANE_PARTNER_LOG", logPath, kEnvironmentLimit);
  if (length > 0 && length < kEnvironmentLimit) appendLine(logPath, GetCommandLineW());
  length = GetEnvironmentVariableW(L"TONVANE_PARTNER_FOLDER_LOG", logPath, kEnvironmentLimit);
  wchar_t folder[MAX_PATH + 1] = {};
  if (length > 0 && length < kEnvironmentLimit && GetCurrentDirectoryW(MAX_PATH + 1, folder) != 0)
    appendLine(logPath, folder);
  HeapFree(heap, 0, logPath);
  return 0;
}
