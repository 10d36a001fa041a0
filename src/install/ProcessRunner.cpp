#include "ProcessRunner.h"

#include <windows.h>

#include "ScopedHandles.h"
#include "SystemLibrary.h"

namespace tonvane {

namespace {

bool namesAFolder(const std::wstring& program) { return program.find_first_of(L"\\/:") != std::wstring::npos; }

// The full path in the system folder of a bare program name; "" when the
// system folder cannot be had.
std::wstring systemProgramPath(const std::wstring& name) {
  return systemFolderPath(name.find(L'.') == std::wstring::npos ? name + L".exe" : name);
}

}  // namespace

std::optional<std::uint32_t> runProgram(const std::wstring& program, const std::wstring& arguments,
                                        const std::wstring& workingFolder) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;

  // Without an application name CreateProcessW would look for a bare name in
  // the setup's own folder and the current folder before the system's.
  std::wstring applicationName;
  if (!namesAFolder(program)) {
    applicationName = systemProgramPath(program);
    if (applicationName.empty()) return std::nullopt;
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(applicationName.empty() ? nullptr : applicationName.c_str(), &commandLine[0], nullptr, nullptr,
                      FALSE, NORMAL_PRIORITY_CLASS, nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(),
                      &startup, &process))
    return std::nullopt;
  const KernelHandle thread(process.hThread);
  const KernelHandle child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.get(), &code)) return std::nullopt;
  return code;
}

}  // namespace tonvane
