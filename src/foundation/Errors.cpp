#include "Errors.h"

#include <cstdio>

#include "FaultTranslator.h"
#include "NumberText.h"
#include "ScopedHandles.h"

namespace tonvane {

FaultRecord lastFault;

std::wstring errorMessage(std::int32_t value) {
  switch (value) {
    case Exception::Normal:
      return L"It ended normally.";
    case Exception::MemoryAllocation:
      return L"The memory allocating error occurred.";
    case Exception::MemoryAccess:
      return L"The memory unlawful computer access error occurred.";
    case Exception::OperationResult:
      return L"The operation result error occurred.";
    case Exception::Algorithm:
      return L"The algorithm error occurred.";
    case Exception::OsError:
      return L"OS error occurred.";
    default:
      return L"An undefined error occurred.";
  }
}

std::wstring systemErrorText() {
  std::wstring text;
  LocalMemory<wchar_t*> message;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<wchar_t*>(message.receive()), 0, nullptr);
  if (length != 0 && message) text.assign(message.get(), length);

  if (lastFault.recorded) {
    // Eight digits each, the address cut to its low 32 bits on x86_64 as
    // the report has always shown it.
    const auto field = [](unsigned long long value) { return hexText(value & 0xFFFFFFFFu, 8, true); };
    text += L"\nExceptionCode: " + field(lastFault.code) + L", ExceptionFlags: " + field(lastFault.flags) +
            L", ExceptionAddress: " + field(lastFault.address) + L", NumberParameters: " +
            field(lastFault.parameterCount) + L"\n";
  }
  return text;
}

HRESULT hresultFromLastError() {
  const DWORD error = GetLastError();
  if (static_cast<LONG>(error) <= 0) return static_cast<HRESULT>(error);
  return static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}

void raiseFailure(HRESULT result) {
  const DWORD code = result == E_OUTOFMEMORY ? STATUS_NO_MEMORY : STATUS_ILLEGAL_INSTRUCTION;
  if (faultTranslatorInstalled()) {
    // A guarded thread could not be moved out of a non-continuable exception
    // into a throw, so throw here what the translator would make of it,
    // recording the fault as the platform would describe it.
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = code;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.ExceptionAddress = __builtin_extract_return_addr(__builtin_return_address(0));
    record.NumberParameters = 0;
    faultTranslator(code, record);
  }
  RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  // A handler may still return from a non-continuable exception; the platform
  // then raises STATUS_NONCONTINUABLE_EXCEPTION, but never come back here.
  for (;;) RaiseException(STATUS_NONCONTINUABLE_EXCEPTION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

}  // namespace tonvane
