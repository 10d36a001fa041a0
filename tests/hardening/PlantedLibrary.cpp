// A stand-in for a DLL an attacker leaves beside a downloaded setup. Copied
// under the names of system DLLs; whenever a process maps it, it leaves
// "<its own file name>.marker" in its own folder, so a test can tell that the
// loader picked it instead of the system's copy.
#include <windows.h>

namespace {

void leaveMarker(HINSTANCE module) {
  wchar_t path[MAX_PATH + 16];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcatW(path, L".marker");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  // Which process took it, for the test's failure message.
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  DWORD written = 0;
  SetFilePointer(file, 0, nullptr, FILE_END);
  WriteFile(file, program, static_cast<DWORD>(lstrlenW(program) * sizeof(wchar_t)), &written, nullptr);
  WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) leaveMarker(module);
  return TRUE;
}

// Every export of PlantedLibrary.def lands here: a load that links against
// one of them succeeds, so DllMain runs and the marker appears; calls fail.
extern "C" DWORD plantedStub() {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return 0;
}
