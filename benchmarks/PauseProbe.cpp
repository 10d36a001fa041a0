// Loaded into a running setup by setup_bench (CreateRemoteThread on
// LoadLibraryW) to time the install job's mandatory pauses: it points the
// program's import of Sleep at a wrapper that adds the time each call takes
// on any of the setup's threads (the install job runs on a thread of its own)
// to a block shared with the benchmark. The
// install job moves its progress bar between Sleep calls; what it does
// between them is the work being measured.
#include <windows.h>

#include <cstring>

#include "PauseProbe.h"

namespace {

using SleepFunction = VOID(WINAPI*)(DWORD);

SleepFunction realSleep = nullptr;
PauseProbeBlock* block = nullptr;

VOID WINAPI timedSleep(DWORD milliseconds) {
  PauseProbeBlock* shared = block;
  const bool counted = shared != nullptr && shared->armed != 0;
  LARGE_INTEGER before, after;
  if (counted) QueryPerformanceCounter(&before);
  realSleep(milliseconds);
  if (!counted) return;
  QueryPerformanceCounter(&after);
  InterlockedExchangeAdd64(&shared->ticks, after.QuadPart - before.QuadPart);
  InterlockedExchangeAdd64(&shared->requestedMilliseconds, milliseconds);
  const LONG call = InterlockedIncrement(&shared->calls) - 1;
  if (call < PauseProbeBlock::kMaxCalls) {
    shared->began[call] = before.QuadPart;
    shared->ended[call] = after.QuadPart;
  }
}

// Adds the time from construction to destruction to one function's count
// while the benchmark counts.
class Timed {
 public:
  explicit Timed(int function) : function_(function) {
    PauseProbeBlock* shared = block;
    counted_ = shared != nullptr && shared->armed != 0;
    if (counted_) QueryPerformanceCounter(&before_);
  }
  ~Timed() {
    if (!counted_) return;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&after);
    InterlockedExchangeAdd64(&block->functionTicks[function_], after.QuadPart - before_.QuadPart);
    InterlockedIncrement(&block->functionCalls[function_]);
  }
  Timed(const Timed&) = delete;
  Timed& operator=(const Timed&) = delete;

 private:
  int function_;
  bool counted_ = false;
  LARGE_INTEGER before_{};
};

// One wrapper per probed function, in the order of kProbedFunctions.
void* realFunctions[PauseProbeBlock::kMaxFunctions];

template <typename F>
F real(int function) {
  return reinterpret_cast<F>(realFunctions[function]);
}

HANDLE WINAPI timedCreateFileW(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
  Timed timed(0);
  return real<decltype(&CreateFileW)>(0)(a, b, c, d, e, f, g);
}
BOOL WINAPI timedWriteFile(HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e) {
  Timed timed(1);
  return real<decltype(&WriteFile)>(1)(a, b, c, d, e);
}
BOOL WINAPI timedReadFile(HANDLE a, LPVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e) {
  Timed timed(2);
  return real<decltype(&ReadFile)>(2)(a, b, c, d, e);
}
DWORD WINAPI timedSetFilePointer(HANDLE a, LONG b, PLONG c, DWORD d) {
  Timed timed(3);
  return real<decltype(&SetFilePointer)>(3)(a, b, c, d);
}
BOOL WINAPI timedCloseHandle(HANDLE a) {
  Timed timed(4);
  return real<decltype(&CloseHandle)>(4)(a);
}
BOOL WINAPI timedMoveFileExW(LPCWSTR a, LPCWSTR b, DWORD c) {
  Timed timed(5);
  return real<decltype(&MoveFileExW)>(5)(a, b, c);
}
BOOL WINAPI timedMoveFileW(LPCWSTR a, LPCWSTR b) {
  Timed timed(6);
  return real<decltype(&MoveFileW)>(6)(a, b);
}
BOOL WINAPI timedDeleteFileW(LPCWSTR a) {
  Timed timed(7);
  return real<decltype(&DeleteFileW)>(7)(a);
}
BOOL WINAPI timedCreateDirectoryW(LPCWSTR a, LPSECURITY_ATTRIBUTES b) {
  Timed timed(8);
  return real<decltype(&CreateDirectoryW)>(8)(a, b);
}
DWORD WINAPI timedGetFileAttributesW(LPCWSTR a) {
  Timed timed(9);
  return real<decltype(&GetFileAttributesW)>(9)(a);
}
BOOL WINAPI timedGetFileAttributesExW(LPCWSTR a, GET_FILEEX_INFO_LEVELS b, LPVOID c) {
  Timed timed(10);
  return real<decltype(&GetFileAttributesExW)>(10)(a, b, c);
}
BOOL WINAPI timedFlushFileBuffers(HANDLE a) {
  Timed timed(11);
  return real<decltype(&FlushFileBuffers)>(11)(a);
}

void* const wrappers[] = {reinterpret_cast<void*>(&timedCreateFileW),
                          reinterpret_cast<void*>(&timedWriteFile),
                          reinterpret_cast<void*>(&timedReadFile),
                          reinterpret_cast<void*>(&timedSetFilePointer),
                          reinterpret_cast<void*>(&timedCloseHandle),
                          reinterpret_cast<void*>(&timedMoveFileExW),
                          reinterpret_cast<void*>(&timedMoveFileW),
                          reinterpret_cast<void*>(&timedDeleteFileW),
                          reinterpret_cast<void*>(&timedCreateDirectoryW),
                          reinterpret_cast<void*>(&timedGetFileAttributesW),
                          reinterpret_cast<void*>(&timedGetFileAttributesExW),
                          reinterpret_cast<void*>(&timedFlushFileBuffers)};
static_assert(sizeof wrappers / sizeof wrappers[0] == kProbedFunctionCount, "one wrapper per probed function");

// The main program's import address table entry for a KERNEL32 function.
void** importSlot(const char* function) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name != 0;
       ++library) {
    if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "KERNEL32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

// Points the import at `wrapper`, keeping the original in `original`.
bool redirect(const char* function, void* wrapper, void*& original) {
  void** slot = importSlot(function);
  if (slot == nullptr) return false;
  DWORD oldProtection = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection)) return false;
  original = *slot;
  *slot = wrapper;
  VirtualProtect(slot, sizeof *slot, oldProtection, &oldProtection);
  return true;
}

void attach() {
  wchar_t name[64];
  pauseProbeBlockName(GetCurrentProcessId(), name, 64);
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
  if (mapping == nullptr) return;
  block = static_cast<PauseProbeBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PauseProbeBlock)));
  if (block == nullptr) return;
  void* original = nullptr;
  if (!redirect("Sleep", reinterpret_cast<void*>(&timedSleep), original)) return;
  realSleep = reinterpret_cast<SleepFunction>(original);
  // A function the program does not import is simply not timed.
  for (int function = 0; function < kProbedFunctionCount; ++function)
    redirect(kProbedFunctions[function], wrappers[function], realFunctions[function]);
  block->hooked = 1;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    attach();
  }
  return TRUE;
}
