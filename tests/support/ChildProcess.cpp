#include "ChildProcess.h"

#include <windows.h>

#include <map>

#include "Paths.h"

namespace tonvane::test {

namespace {
std::map<std::wstring, std::function<int()>>& scenarios() {
  static std::map<std::wstring, std::function<int()>> table;
  return table;
}

LONG WINAPI exitWithExceptionCode(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const bool nonContinuable = (record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0;
  ExitProcess(nonContinuable ? record->ExceptionCode : 0xDEAD);
}
}  // namespace

bool registerChildScenario(const std::wstring& name, std::function<int()> scenario) {
  scenarios()[name] = std::move(scenario);
  return true;
}

int runChildScenario(const std::wstring& name) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(exitWithExceptionCode);
  const auto found = scenarios().find(name);
  if (found == scenarios().end()) return 0xBAD;
  return found->second();
}

unsigned long runInChild(const std::wstring& scenario, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + modulePath() + L"\" --child " + scenario;
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 0xFFFFFFFF;
  DWORD code = 0xFFFFFFFF;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, STILL_ACTIVE);
    WaitForSingleObject(process.hProcess, INFINITE);
    code = STILL_ACTIVE;
  } else {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

}  // namespace tonvane::test
