// The block that pause_probe.dll (loaded into the setup) and setup_bench
// share: a named file mapping per setup process. Besides the pauses, the
// probe adds up the time the setup's threads spend in the file functions
// the install calls, a profile of where the install's time goes.
#pragma once

#include <windows.h>

#include <cwchar>

struct PauseProbeBlock {
  volatile LONG hooked;   // set by the probe once Sleep is redirected
  volatile LONG armed;    // set by the benchmark: count from now on
  volatile LONG64 ticks;  // QueryPerformanceCounter ticks spent in Sleep
  volatile LONG64 requestedMilliseconds;
  volatile LONG calls;
  // When each counted call began and ended (ticks), the first kMaxCalls.
  static constexpr int kMaxCalls = 16;
  volatile LONG64 began[kMaxCalls];
  volatile LONG64 ended[kMaxCalls];
  // Time (ticks) and calls in each of the functions named in kProbedFunctions.
  static constexpr int kMaxFunctions = 16;
  volatile LONG64 functionTicks[kMaxFunctions];
  volatile LONG functionCalls[kMaxFunctions];
};

// The KERNEL32 imports the probe times, in the order of functionTicks.
constexpr const char* kProbedFunctions[] = {
    "CreateFileW", "WriteFile",   "ReadFile",         "SetFilePointer",     "CloseHandle",          "MoveFileExW",
    "MoveFileW",   "DeleteFileW", "CreateDirectoryW", "GetFileAttributesW", "GetFileAttributesExW", "FlushFileBuffers"};
constexpr int kProbedFunctionCount = sizeof kProbedFunctions / sizeof kProbedFunctions[0];

inline void pauseProbeBlockName(DWORD processId, wchar_t* name, std::size_t capacity) {
  std::swprintf(name, capacity, L"Local\\TonvanePauseProbe-%lu", static_cast<unsigned long>(processId));
}
