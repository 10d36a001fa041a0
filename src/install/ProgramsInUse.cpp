#include "ProgramsInUse.h"

#include <restartmanager.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>

#include "HeldPath.h"
#include "PathText.h"
#include "Paths.h"
#include "ScopedHandles.h"
#include "SystemLibrary.h"

namespace tonvane {

namespace {

bool liesIn(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && lowerCase(path.substr(0, folder.size())) == lowerCase(folder);
}

// The program file of a process; "" when it cannot be asked (a process of
// the system, or one that has ended).
std::wstring programOf(DWORD processId) {
  using QueryProcedure = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const auto query = kernelProcedure<QueryProcedure>("QueryFullProcessImageNameW");
  if (query == nullptr) return std::wstring();
  KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = MAX_PATH * 2;
  return query(process.get(), 0, path, &length) ? std::wstring(path, length) : std::wstring();
}

bool loadsFrom(DWORD processId, const std::wstring& folder) {
  KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
  if (snapshot.get() == INVALID_HANDLE_VALUE) {
    snapshot.release();
    return false;
  }
  MODULEENTRY32W module = {};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot.get(), &module); more; more = Module32NextW(snapshot.get(), &module))
    if (liesIn(module.szExePath, folder)) return true;
  return false;
}

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> windows;  // visible, titled top-level windows first
  std::vector<HWND> others;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId) return TRUE;
  if (IsWindowVisible(window) && GetWindowTextLengthW(window) > 0)
    search.windows.push_back(window);
  else
    search.others.push_back(window);
  return TRUE;
}

WindowSearch windowsOf(DWORD processId) {
  WindowSearch search{processId, {}, {}};
  EnumWindows(&collectWindow, reinterpret_cast<LPARAM>(&search));
  return search;
}

std::wstring displayName(DWORD processId, const std::wstring& program) {
  const WindowSearch search = windowsOf(processId);
  if (!search.windows.empty()) {
    wchar_t title[256] = {};
    if (GetWindowTextW(search.windows.front(), title, 256) > 0) return title;
  }
  const std::size_t slash = program.find_last_of(L"\\/");
  return slash == std::wstring::npos ? program : program.substr(slash + 1);
}

void addProgram(FilesInUse& found, DWORD processId, const std::wstring& name) {
  for (const ProgramInUse& known : found.programs)
    if (known.processId == processId) return;
  found.programs.push_back({processId, name});
}

void findByProcesses(const std::wstring& folder, FilesInUse& found) {
  KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) {
    snapshot.release();
    return;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
    const std::wstring program = programOf(entry.th32ProcessID);
    if (liesIn(program, folder) || loadsFrom(entry.th32ProcessID, folder))
      addProgram(found, entry.th32ProcessID,
                 displayName(entry.th32ProcessID, program.empty() ? entry.szExeFile : program));
  }
}

// The Restart Manager, loaded from the system folder where there is one.
void findByRestartManager(const std::vector<std::wstring>& files, FilesInUse& found) {
  using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
  using Register = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
  using List = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
  using End = DWORD(WINAPI*)(DWORD);
  const auto start =
      reinterpret_cast<Start>(reinterpret_cast<void*>(systemProcedure(L"rstrtmgr.dll", "RmStartSession")));
  const auto add =
      reinterpret_cast<Register>(reinterpret_cast<void*>(systemProcedure(L"rstrtmgr.dll", "RmRegisterResources")));
  const auto list = reinterpret_cast<List>(reinterpret_cast<void*>(systemProcedure(L"rstrtmgr.dll", "RmGetList")));
  const auto end = reinterpret_cast<End>(reinterpret_cast<void*>(systemProcedure(L"rstrtmgr.dll", "RmEndSession")));
  if (start == nullptr || add == nullptr || list == nullptr || end == nullptr || files.empty()) return;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start(&session, 0, key) != ERROR_SUCCESS) return;
  std::vector<LPCWSTR> names;
  for (const std::wstring& file : files) names.push_back(file.c_str());
  std::vector<RM_PROCESS_INFO> processes;
  UINT needed = 0;
  UINT count = 0;
  DWORD reasons = 0;
  if (add(session, static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    DWORD result = list(session, &needed, &count, nullptr, &reasons);
    if (result == ERROR_MORE_DATA && needed > 0) {
      processes.resize(needed);
      count = needed;
      result = list(session, &needed, &count, processes.data(), &reasons);
    }
    if (result != ERROR_SUCCESS) count = 0;
  }
  end(session);
  for (UINT i = 0; i < count && i < processes.size(); ++i)
    if (processes[i].Process.dwProcessId != GetCurrentProcessId())
      addProgram(found, processes[i].Process.dwProcessId, processes[i].strAppName);
}

// A file that cannot be opened for deletion with no sharing is held; the
// handle goes at once.
bool isHeld(const std::wstring& path) {
  if (!isExistingFile(path)) return false;
  KernelHandle file(
      CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file) return false;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

}  // namespace

FilesInUse findFilesInUse(const std::wstring& folder, const std::vector<std::wstring>& files) {
  FilesInUse found;
  const std::wstring root = ensureTrailingBackslash(folder);
  findByProcesses(root, found);
  std::vector<std::wstring> existing;
  for (const std::wstring& file : files)
    if (isExistingFile(file)) existing.push_back(file);
  findByRestartManager(existing, found);
  // Held files are named only when no program was found: closing those
  // programs is what frees them, and the look is repeated after.
  if (found.programs.empty())
    for (const std::wstring& file : existing)
      if (isHeld(file)) found.heldFiles.push_back(file);
  return found;
}

bool askProgramsToClose(const std::vector<ProgramInUse>& programs, DWORD milliseconds) {
  std::vector<KernelHandle> waits;
  for (const ProgramInUse& program : programs) {
    KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, program.processId));
    const WindowSearch search = windowsOf(program.processId);
    for (HWND window : search.windows) PostMessageW(window, WM_CLOSE, 0, 0);
    if (search.windows.empty())
      for (HWND window : search.others) PostMessageW(window, WM_CLOSE, 0, 0);
    if (process) waits.push_back(std::move(process));
  }
  // The calling thread's own windows keep answering meanwhile: a program
  // that asks its user whether to save may take a while.
  const DWORD began = GetTickCount();
  for (const KernelHandle& process : waits) {
    for (;;) {
      const DWORD spent = GetTickCount() - began;
      HANDLE handle = process.get();
      const DWORD woken =
          MsgWaitForMultipleObjects(1, &handle, FALSE, spent >= milliseconds ? 0 : milliseconds - spent, QS_ALLINPUT);
      if (woken == WAIT_OBJECT_0) break;
      if (woken != WAIT_OBJECT_0 + 1) return false;
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(message.wParam));
          return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  return true;
}

std::wstring filesInUseText(const FilesInUse& inUse) {
  std::wstring text;
  for (const ProgramInUse& program : inUse.programs) text += program.name + L"\r\n";
  for (const std::wstring& file : inUse.heldFiles) text += file + L"\r\n";
  if (!text.empty()) text.resize(text.size() - 2);
  return text;
}

}  // namespace tonvane
