// How each layer says "it failed". One way per layer; a header that differs
// says so where its caller reads it.
//
// foundation  Wrappers of one platform object answer what the platform
//             answers: RegistryKey the registry's status (LONG,
//             ERROR_SUCCESS for success); FileHandle, the owners of
//             ScopedHandles.h and the path helpers a bool (a byte count for
//             one read or write, 0 for none), leaving the platform's last
//             error as the failed call set it. Text and container code
//             never throws: it ends in raiseFailure, a non-continuable
//             platform exception. Work on a guarded worker thread sees
//             processor faults and failed allocations as values of
//             Exception::ExceptionProcessor2Error, thrown by value, which
//             the worker's guard turns into its warning box.
// i18n        bool: loaded or not; a text without a translation stays
//             English. Nothing is shown.
// install     bool: true when the step is done, false when it is not, and
//             nothing is shown; a result that may be missing is optional
//             (a program's exit code). Failures a step can live with are
//             silent, as each header lists.
// offers      As install; an offer that cannot be staged is no offer.
// wizard      Shows the user the one message that matters (the setup's
//             message box) and decides the page or the exit code; the
//             module set-up answers an HRESULT, as the module frameworks it
//             mirrors do.
// startup     Exit codes: an empty optional means "go on".
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
