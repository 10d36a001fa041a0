// Processor faults and failed allocations as C++ exceptions on guarded threads.
//
// GCC has no per-thread structured-exception translator, so the translation
// is done by one vectored exception handler for the whole process. It acts
// only on threads that hold a FaultTranslatorScope, and only for faults in
// this program's own code: there it redirects the faulting thread into a
// function that throws, so the fault unwinds like a throw from the faulting
// instruction (destructors run, locks are released). Code that may fault must
// be compiled with -fnon-call-exceptions (every target of ours is), or the
// unwinder finds no handler entry for the faulting instruction.
//
// Faults inside other modules (system DLLs, msvcrt) are left to those
// modules' own handlers: on i686 the unwinder cannot walk their frames, and
// on x86_64 taking the fault first would steal it from their own __except
// blocks. Such a fault that nobody handles ends the process as usual.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "Errors.h"

namespace tonvane {

// What a guarded thread throws for a fault outside the mapping table (a
// breakpoint, STATUS_NO_MEMORY from raiseFailure, ...). Only the guard's
// catch-all is meant to see it.
struct UnknownPlatformFailure {
  std::uint32_t code;
};

// True for exception codes the translator acts on: warnings and errors of
// the system. C++ exceptions (GCC's 0x20474343, MSVC's 0xE06D7363, any code
// with the customer bit) and informational codes (debug output 0x40010006,
// thread names 0x406D1388) are left alone.
bool isTranslatableFault(std::uint32_t code);

// Records the fault in lastFault, then throws its value by value, or an
// UnknownPlatformFailure for a code outside the table. Called on the faulting
// thread once the vectored handler has moved it out of the fault, and by
// raiseFailure on a guarded thread.
[[noreturn]] void faultTranslator(std::uint32_t code, const EXCEPTION_RECORD& record);

// The allocation-failure handler (std::set_new_handler) of guarded work:
// throws Exception::MemoryAllocation by value. Records nothing.
[[noreturn]] void outOfMemoryHandler();

// Installs the translator on the calling thread for the object's lifetime;
// the thread's previous state (none, or an outer scope) comes back when it
// ends. The process-wide handler is registered on first use and stays.
class FaultTranslatorScope {
 public:
  FaultTranslatorScope();
  ~FaultTranslatorScope();
  FaultTranslatorScope(const FaultTranslatorScope&) = delete;
  FaultTranslatorScope& operator=(const FaultTranslatorScope&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Whether the calling thread is inside a FaultTranslatorScope. Keeps the
// thread's last error.
bool faultTranslatorInstalled();

}  // namespace tonvane
