#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Errors.h"

using namespace tonvane;

namespace {

const bool kRegistered =
    test::registerChildScenario(L"raise-out-of-memory", []() -> int { raiseFailure(E_OUTOFMEMORY); }) &&
    test::registerChildScenario(L"raise-invalid-argument", []() -> int { raiseFailure(E_INVALIDARG); }) &&
    test::registerChildScenario(L"raise-after-failed-conversion", []() -> int {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      raiseFailure(hresultFromLastError());
    });

TEST(ErrorMessage, GivesTheTextOfEachValueAndUndefinedOutsideTheRange) {
  EXPECT_EQ(errorMessage(Exception::Normal), L"It ended normally.");
  EXPECT_EQ(errorMessage(Exception::MemoryAllocation), L"The memory allocating error occurred.");
  EXPECT_EQ(errorMessage(Exception::MemoryAccess), L"The memory unlawful computer access error occurred.");
  EXPECT_EQ(errorMessage(Exception::OperationResult), L"The operation result error occurred.");
  EXPECT_EQ(errorMessage(Exception::Algorithm), L"The algorithm error occurred.");
  EXPECT_EQ(errorMessage(Exception::OsError), L"OS error occurred.");
  EXPECT_EQ(errorMessage(Exception::Undefined), L"An undefined error occurred.");
  EXPECT_EQ(errorMessage(7), L"An undefined error occurred.");
  EXPECT_EQ(errorMessage(-1), L"An undefined error occurred.");
}

TEST(HresultFromLastError, WrapsWin32ErrorsAndPassesSuccessThrough) {
  SetLastError(0);
  EXPECT_EQ(hresultFromLastError(), 0);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<unsigned long>(hresultFromLastError()), 0x80070005ul);
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(static_cast<unsigned long>(hresultFromLastError()), 0x8007007Aul);
  // Only the low 16 bits of an error survive, as HRESULT_FROM_WIN32 does it.
  SetLastError(0x12345);
  EXPECT_EQ(static_cast<unsigned long>(hresultFromLastError()), 0x80072345ul);
}

TEST(SystemErrorText, IsTheSystemMessageThenTheRecordedFault) {
  const FaultRecord saved = lastFault;
  lastFault = FaultRecord();

  SetLastError(ERROR_FILE_NOT_FOUND);
  const std::wstring plain = systemErrorText();
  ASSERT_GE(plain.size(), 2u);
  EXPECT_EQ(plain.substr(plain.size() - 2), L"\r\n");
  EXPECT_EQ(plain.find(L"ExceptionCode"), std::wstring::npos);

  lastFault.code = 0xC0000094;
  lastFault.flags = 0;
  lastFault.address = 0x0040A1B2;
  lastFault.parameterCount = 2;
  lastFault.recorded = true;
  SetLastError(ERROR_FILE_NOT_FOUND);
  const std::wstring withFault = systemErrorText();
  EXPECT_EQ(withFault, plain +
                           L"\nExceptionCode: C0000094, ExceptionFlags: 00000000, "
                           L"ExceptionAddress: 0040A1B2, NumberParameters: 00000002\n");

  // An error the system has no message for leaves only the fault line.
  SetLastError(0x2FFFFFFF);
  EXPECT_EQ(systemErrorText().rfind(L"\nExceptionCode: C0000094", 0), 0u);

  lastFault = saved;
}

TEST(RaiseFailure, RaisesNonContinuablePlatformExceptions) {
  ASSERT_TRUE(kRegistered);
  EXPECT_EQ(test::runInChild(L"raise-out-of-memory"), 0xC0000017ul);
  EXPECT_EQ(test::runInChild(L"raise-invalid-argument"), 0xC000001Dul);
  EXPECT_EQ(test::runInChild(L"raise-after-failed-conversion"), 0xC000001Dul);
}

}  // namespace

// The standard library's misuse errors are thrown by the program's own small
// type in place of the runtime's: they still unwind to a catch of
// std::exception, with the library's own message.
TEST(LibraryFaults, MisuseStillThrowsWhatACatchOfStdExceptionTakes) {
  const auto thrown = [](void (*call)()) -> std::string {
    try {
      call();
    } catch (const std::bad_alloc&) {
      return "bad_alloc";
    } catch (const std::exception& error) {
      return error.what();
    }
    return "nothing thrown";
  };
  EXPECT_NE(thrown([] { static_cast<void>(std::wstring(L"ab").at(5)); }).find("basic_string::at"), std::string::npos);
  EXPECT_NE(thrown([] {
              std::vector<int> list;
              list.reserve(list.max_size() + 1);
            }).find("vector::reserve"),
            std::string::npos);
}
