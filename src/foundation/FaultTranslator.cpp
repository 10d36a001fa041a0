#include "FaultTranslator.h"

#include <atomic>

namespace tonvane {

using FaultState = FaultTranslatorScope::State;

struct FaultTranslatorScope::State {
  void* outer = nullptr;  // the thread's slot value before this scope
  // The fault the vectored handler moved the thread away from, until the
  // landing function has taken it.
  EXCEPTION_RECORD pending = {};
  bool hasPending = false;
};

}  // namespace tonvane

// Where the vectored handler sends a faulting thread. The handler leaves the
// return address the unwinder must see in the accumulator (a scratch register
// the abandoned code no longer needs); the trampoline pushes it, which makes
// the stack look as if the faulting instruction had called the landing
// function. The landing realigns the stack (a fault can happen where the
// stack is not aligned for a call, in leaf code for instance) behind a frame
// pointer its unwind data describes, and calls the thrower.
extern "C" void tonvane_fault_trampoline() __asm__("tonvane_fault_trampoline");
extern "C" [[noreturn]] void tonvane_throw_pending_fault() __asm__("tonvane_throw_pending_fault");

#if defined(__x86_64__)
__asm__(
    "  .text\n"
    "  .def tonvane_fault_trampoline; .scl 3; .type 32; .endef\n"
    "tonvane_fault_trampoline:\n"
    "  pushq %rax\n"
    "  .def tonvane_fault_landing; .scl 3; .type 32; .endef\n"
    "  .seh_proc tonvane_fault_landing\n"
    "tonvane_fault_landing:\n"
    "  pushq %rbp\n"
    "  .seh_pushreg %rbp\n"
    "  movq %rsp, %rbp\n"
    "  .seh_setframe %rbp, 0\n"
    "  .seh_endprologue\n"
    "  andq $-16, %rsp\n"
    "  subq $32, %rsp\n"
    "  call tonvane_throw_pending_fault\n"
    // Keeps the return address of the call inside this function's range.
    "  ud2\n"
    "  .seh_endproc\n");
#elif defined(__i386__)
__asm__(
    "  .text\n"
    "  .def tonvane_fault_trampoline; .scl 3; .type 32; .endef\n"
    "tonvane_fault_trampoline:\n"
    "  pushl %eax\n"
    "  .def tonvane_fault_landing; .scl 3; .type 32; .endef\n"
    "tonvane_fault_landing:\n"
    "  .cfi_startproc\n"
    "  pushl %ebp\n"
    "  .cfi_def_cfa_offset 8\n"
    "  .cfi_offset %ebp, -8\n"
    "  movl %esp, %ebp\n"
    "  .cfi_def_cfa_register %ebp\n"
    "  andl $-16, %esp\n"
    "  call tonvane_throw_pending_fault\n"
    "  ud2\n"
    "  .cfi_endproc\n");
#else
#error "The fault translator knows the x86 and x86_64 processors only."
#endif

namespace tonvane {

namespace {

std::atomic<DWORD> stateSlot{TLS_OUT_OF_INDEXES};
ULONG_PTR ownImageBegin = 0;
ULONG_PTR ownImageEnd = 0;

// TlsGetValue resets the last error, which the report shows: keep it.
FaultState* currentState() {
  const DWORD slot = stateSlot.load(std::memory_order_acquire);
  if (slot == TLS_OUT_OF_INDEXES) return nullptr;
  const DWORD lastError = GetLastError();
  void* value = TlsGetValue(slot);
  SetLastError(lastError);
  return static_cast<FaultState*>(value);
}

bool insideOwnImage(ULONG_PTR address) { return address >= ownImageBegin && address < ownImageEnd; }

bool mappedValue(std::uint32_t code, Exception::ExceptionProcessor2Error& value) {
  switch (code) {
    case 0x80000001:  // STATUS_GUARD_PAGE_VIOLATION
    case 0xC0000006:  // STATUS_IN_PAGE_ERROR
    case 0xC000001D:  // STATUS_ILLEGAL_INSTRUCTION
    case 0xC0000026:  // STATUS_INVALID_DISPOSITION
      value = Exception::OsError;
      return true;
    case 0x80000002:  // STATUS_DATATYPE_MISALIGNMENT
    case 0xC0000005:  // STATUS_ACCESS_VIOLATION
    case 0xC0000008:  // STATUS_INVALID_HANDLE
    case 0xC000008C:  // STATUS_ARRAY_BOUNDS_EXCEEDED
      value = Exception::MemoryAccess;
      return true;
    case 0xC0000025:  // STATUS_NONCONTINUABLE_EXCEPTION
    case 0xC00000FD:  // STATUS_STACK_OVERFLOW
    case 0xC0000194:  // STATUS_POSSIBLE_DEADLOCK
      value = Exception::Algorithm;
      return true;
    case 0xC000008E:  // STATUS_FLOAT_DIVIDE_BY_ZERO
    case 0xC000008F:  // STATUS_FLOAT_INEXACT_RESULT
    case 0xC0000091:  // STATUS_FLOAT_OVERFLOW
    case 0xC0000092:  // STATUS_FLOAT_STACK_CHECK
    case 0xC0000094:  // STATUS_INTEGER_DIVIDE_BY_ZERO
    case 0xC0000095:  // STATUS_INTEGER_OVERFLOW
      value = Exception::OperationResult;
      return true;
    case 0xC0000090:  // STATUS_FLOAT_INVALID_OPERATION
      value = Exception::Undefined;
      return true;
    default:
      return false;
  }
}

LONG CALLBACK redirectFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (!isTranslatableFault(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  FaultState* state = currentState();
  // A second fault before the landing took the first one means the way out
  // itself is broken: let the process end rather than loop.
  if (state == nullptr || state->hasPending) return EXCEPTION_CONTINUE_SEARCH;

  CONTEXT* context = pointers->ContextRecord;
  const ULONG_PTR faultAddress = reinterpret_cast<ULONG_PTR>(record->ExceptionAddress);
#if defined(__x86_64__)
  const ULONG_PTR resumeAddress = context->Rip;
#else
  const ULONG_PTR resumeAddress = context->Eip;
#endif
  // A breakpoint may leave the instruction pointer past the instruction;
  // the exception address is where it happened. Both must be ours.
  if (!insideOwnImage(faultAddress) || !insideOwnImage(resumeAddress)) return EXCEPTION_CONTINUE_SEARCH;

  state->pending = *record;
  state->pending.ExceptionRecord = nullptr;
  state->hasPending = true;

  // The unwinder takes a return address minus one as the instruction that
  // made the call, and looks that up in the handler tables. Plus one makes it
  // land inside the faulting instruction itself; the bare address would name
  // the instruction before, which can lie in another handler range (or
  // before the function's try block).
  const ULONG_PTR returnAddress = faultAddress + 1;
  const ULONG_PTR trampoline = reinterpret_cast<ULONG_PTR>(&tonvane_fault_trampoline);
#if defined(__x86_64__)
  context->Rax = returnAddress;
  context->Rip = trampoline;
#else
  context->Eax = returnAddress;
  context->Eip = trampoline;
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

void registerHandlerOnce() {
  static const bool registered = [] {
    static const char marker = 0;
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&marker), &module)) {
      const auto* base = reinterpret_cast<const BYTE*>(module);
      const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
      const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
      ownImageBegin = reinterpret_cast<ULONG_PTR>(base);
      ownImageEnd = ownImageBegin + headers->OptionalHeader.SizeOfImage;
    }
    // First in line, so no other vectored handler sees a fault we turn into
    // a throw.
    AddVectoredExceptionHandler(1, redirectFault);
    stateSlot.store(TlsAlloc(), std::memory_order_release);
    return true;
  }();
  (void)registered;
}

}  // namespace

bool isTranslatableFault(std::uint32_t code) {
  const std::uint32_t severity = code >> 30;
  const bool customer = (code & 0x20000000u) != 0;
  return severity >= 2 && !customer;
}

void faultTranslator(std::uint32_t code, const EXCEPTION_RECORD& record) {
  lastFault.code = record.ExceptionCode;
  lastFault.flags = record.ExceptionFlags;
  // Four bytes, as the report has always shown them (the low half on x86_64).
  lastFault.address = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(record.ExceptionAddress));
  lastFault.parameterCount = record.NumberParameters;
  lastFault.recorded = true;

  Exception::ExceptionProcessor2Error value = Exception::Undefined;
  if (mappedValue(code, value)) throw value;
  throw UnknownPlatformFailure{code};
}

void outOfMemoryHandler() { throw Exception::MemoryAllocation; }

FaultTranslatorScope::FaultTranslatorScope() : state_(new State) {
  registerHandlerOnce();
  const DWORD slot = stateSlot.load(std::memory_order_acquire);
  if (slot == TLS_OUT_OF_INDEXES) return;  // no slot left: the thread stays unguarded
  const DWORD lastError = GetLastError();
  state_->outer = TlsGetValue(slot);
  TlsSetValue(slot, state_.get());
  SetLastError(lastError);
}

FaultTranslatorScope::~FaultTranslatorScope() {
  const DWORD slot = stateSlot.load(std::memory_order_acquire);
  if (slot == TLS_OUT_OF_INDEXES) return;
  const DWORD lastError = GetLastError();
  TlsSetValue(slot, state_->outer);
  SetLastError(lastError);
}

bool faultTranslatorInstalled() { return currentState() != nullptr; }

}  // namespace tonvane

// Runs on the faulting thread, in a normal frame, right after the vectored
// handler returned: from here on it is an ordinary throw.
void tonvane_throw_pending_fault() {
  tonvane::FaultState* state = tonvane::currentState();
  const EXCEPTION_RECORD record = state->pending;
  state->hasPending = false;
  tonvane::faultTranslator(record.ExceptionCode, record);
}
