// How code here says "it failed": three ways, each with its rule. A header
// says which one a function follows where its caller reads it, and what a
// failure leaves behind.
//
// 1. The outcome as a value, for every step. bool: true when the step is
//    done, false when it is not. A result that may be missing is "a value
//    or none": std::optional, or the empty value of its type where the
//    header names it (an empty string, a null pointer, 0 bytes read, -1 for
//    a position). A step with several ways to end that its caller tells
//    apart answers an enum class of them (InstallResult, EntryData) or a
//    record of what stayed (UninstallOutcome); a program ends with an
//    ExitCode (ExitCode.h), and checkStart's empty optional means "go on".
//    A failed step has written to the setup log what the log's reader
//    needs, or leaves the platform's last error as the failed call set it,
//    as its header says; failures it can live with are silent, as each
//    header lists. Nothing is shown below the wizard and the programs'
//    entry points, which show the one message that matters (the setup's or
//    the uninstaller's message box) and decide the page or the exit code.
//
// 2. The platform's own status, inside one wrapper. An owner of one
//    platform facility answers what the platform answers, unchanged:
//    RegistryKey the registry's status (LONG, ERROR_SUCCESS for success);
//    ComInitialization, OleInitialization and openAsDesktopUser (the shell's
//    COM objects) COM's HRESULT; querySystemVersion GetVersionEx's BOOL.
//    Its caller turns the status into rule 1 on the spot; no status is
//    handed further up. Likewise a function we give the platform or a
//    library to call (a window or dialog procedure, minizip's stream
//    functions) answers in the form that caller expects.
//
// 3. Faults, which are raised rather than returned: what no caller could
//    answer - a processor fault, memory exhausted, a string or container
//    past its limit, a text the platform cannot convert. The standard
//    library throws for its part (std::bad_alloc, and one small
//    std::exception for its other faults, LibraryFaults.cpp), so the
//    strings and containers our text code uses may throw. Our own code
//    throws nothing of itself: it calls raiseFailure, a non-continuable
//    platform exception (a std::bad_alloc it catches goes on as
//    raiseFailure(E_OUTOFMEMORY), reported as the lack of memory it is).
//    Only a guard catches a fault. On a guarded thread (a WorkerThread, the
//    install job's thread) the fault translator (FaultTranslator.h) turns
//    processor faults and raiseFailure (and on a worker, failed
//    allocations) into thrown values of Exception::ExceptionProcessor2Error
//    or UnknownPlatformFailure; the worker's guard turns whatever reaches
//    it into its warning box, the install step into a failed install.
//    Elsewhere a fault ends the program. Besides the guards, one kind of
//    step catches: one that asks for a large buffer, or grows a list it can
//    do without, catches the library's throw at that very call and answers
//    false (rule 1) instead (FileHandle::readAllText's chunk, the
//    extraction's copy buffer, the message loop's and the dialog binding's
//    lists).
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

// Rule 3's way out for our own code: raises a non-continuable
// STATUS_NO_MEMORY for E_OUTOFMEMORY, STATUS_ILLEGAL_INSTRUCTION otherwise.
// On a guarded worker thread it throws what the fault translator makes of
// that code instead (see FaultTranslator.h).
[[noreturn]] void raiseFailure(HRESULT result);

}  // namespace tonvane
