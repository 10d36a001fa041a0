// The unprotected case, for comparison with the setup: what any program does
// that has not restricted the loader's search. Started from the folder that
// holds the planted copies, it shows whether planting works at all under the
// overrides a test uses.
//   load-probe            loads version.dll by bare name
//   load-probe msiexec    starts msiexec.exe by bare name and waits for it
// Exit code: 0 when the DLL loaded or the program ran, 1 when not.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"msiexec") == 0) {
    std::wstring commandLine = L"msiexec.exe /?";
    PROCESS_INFORMATION process = {};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return 1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    return 0;
  }
  return LoadLibraryW(L"version.dll") != nullptr ? 0 : 1;
}
