// The error model shared by every layer.
//
// Work on a guarded worker thread reports processor faults and failed
// allocations as values of Exception::ExceptionProcessor2Error, thrown by
// value. File and conversion wrappers report platform failures as HRESULTs
// (0 for success). The string and container layer never throws: it ends in
// raiseFailure, a non-continuable platform exception.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tonvane {

namespace Exception {
enum ExceptionProcessor2Error : std::int32_t {
  Normal = 0,
  MemoryAllocation = 1,
  MemoryAccess = 2,
  OperationResult = 3,
  Algorithm = 4,
  OsError = 5,
  Undefined = 6,
};
}  // namespace Exception

// English text for a value; every value outside 0..5 reads as Undefined.
std::wstring errorMessage(std::int32_t value);

// The last platform fault seen by the fault translator of a guarded thread.
// Process-wide and unsynchronised: only one worker exists at a time.
struct FaultRecord {
  std::uint32_t code = 0;
  std::uint32_t flags = 0;
  std::uint32_t address = 0;
  std::uint32_t parameterCount = 0;
  bool recorded = false;
};
extern FaultRecord lastFault;

// The system's message for the calling thread's last error, followed by the
// details of lastFault once one was recorded.
std::wstring systemErrorText();

// HRESULT_FROM_WIN32 of GetLastError; 0 (and anything not above 0) unchanged.
HRESULT hresultFromLastError();

// Failure path of the string and container layer: raises a non-continuable
// STATUS_NO_MEMORY for E_OUTOFMEMORY, STATUS_ILLEGAL_INSTRUCTION otherwise.
// On a guarded worker thread it throws what the fault translator makes of
// that code instead (see FaultTranslator.h).
[[noreturn]] void raiseFailure(HRESULT result);

}  // namespace tonvane
