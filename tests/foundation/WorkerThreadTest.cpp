#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <cwchar>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "CriticalSection.h"
#include "Errors.h"
#include "FaultTranslator.h"
#include "MessageBoxWatcher.h"
#include "WorkerThread.h"

using namespace tonvane;

namespace {

const wchar_t kSaveLine[] = L"Immediately save the date with another name and restart the application.";
const wchar_t kUnknownFailure[] = L"An error has occurred. The command will be cancelled.\r\n";

// Volatile, so that no optimisation level can see the fault coming and fold
// it away or turn it into a trap instruction.
volatile int zeroDivisor = 0;
volatile int dividend = 1;
volatile int sink = 0;
int* volatile nullTarget = nullptr;
volatile std::size_t impossibleSize = SIZE_MAX / 2;
void* volatile keptAlive = nullptr;

// The procedures run on the worker thread. noipa keeps each one whole and
// apart (no inlining, cloning or splitting), so a recorded fault address can
// be checked against the function.
#define PROCEDURE __attribute__((noipa)) void

PROCEDURE returnAtOnce(void* object, WorkerThread* record) {
  auto* seen = static_cast<std::pair<void*, WorkerThread*>*>(object);
  seen->first = object;
  seen->second = record;
}

PROCEDURE divideByZero(void*, WorkerThread*) {
  SetLastError(ERROR_ACCESS_DENIED);
  sink = dividend / zeroDivisor;
}

PROCEDURE writeThroughNull(void*, WorkerThread*) { *nullTarget = 1; }

PROCEDURE allocateTooMuch(void*, WorkerThread*) {
  std::vector<char> buffer(impossibleSize);
  keptAlive = buffer.data();
}

PROCEDURE raiseInvalidArgument(void*, WorkerThread*) {
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  raiseFailure(E_INVALIDARG);
}

PROCEDURE raiseOutOfMemory(void*, WorkerThread*) { raiseFailure(E_OUTOFMEMORY); }

PROCEDURE hitBreakpoint(void*, WorkerThread*) { __asm__ volatile("int3"); }

bool inside(std::uint32_t address, void (*function)(void*, WorkerThread*)) {
  const auto start = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(function));
  return address >= start && address < start + 64;
}

std::wstring hex8(std::uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08lX", static_cast<unsigned long>(value));
  return text;
}

// What the system says about an error, asked independently of the code under
// test.
std::wstring systemMessage(DWORD error) {
  wchar_t text[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 1024, nullptr);
  return std::wstring(text, length);
}

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool waitUntilEnded(WorkerThread* record, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (isRunning(record)) {
    if (GetTickCount64() > deadline) return false;
    Sleep(5);
  }
  return true;
}

// Runs one procedure on a worker while the boxes are answered, and returns
// what they said.
std::vector<test::SeenBox> runWorker(WorkerThread::Procedure procedure, void* owner = nullptr) {
  test::MessageBoxWatcher watcher(IDOK);
  WorkerThread* record = start(new WorkerThread, owner, procedure, 0);
  EXPECT_EQ(record->startFailed, 0);
  if (!waitUntilEnded(record, 30000)) {
    ADD_FAILURE() << "the worker did not end";
    return watcher.seen();  // the record stays: the thread still uses it
  }
  shutdown(record);
  return watcher.seen();
}

// lastFault with values no fault produces, to see whether a run touched it.
FaultRecord sentinelFault() {
  FaultRecord fault;
  fault.code = 0x0BADC0DE;
  fault.flags = 7;
  fault.address = 0x12345678;
  fault.parameterCount = 9;
  fault.recorded = true;
  return fault;
}

bool sameFault(const FaultRecord& left, const FaultRecord& right) {
  return left.code == right.code && left.flags == right.flags && left.address == right.address &&
         left.parameterCount == right.parameterCount && left.recorded == right.recorded;
}

class SavedLastFault {
 public:
  SavedLastFault() : saved_(lastFault) {}
  ~SavedLastFault() { lastFault = saved_; }

 private:
  FaultRecord saved_;
};

std::wstring bracketed(const std::wstring& text) { return L"[" + text + L"]"; }

class ReportTranslatorFor {
 public:
  explicit ReportTranslatorFor(ReportTranslator translate) { setReportTranslator(translate); }
  ~ReportTranslatorFor() { setReportTranslator(nullptr); }
};

TEST(WorkerThread, RunsTheProcedureWithOwnerPlusOffsetAndEndsWhenItReturns) {
  struct Owner {
    int first = 0;
    std::pair<void*, WorkerThread*> seen{nullptr, nullptr};
  } owner;
  test::MessageBoxWatcher watcher(IDOK);
  WorkerThread* record =
      start(new WorkerThread, &owner, returnAtOnce, static_cast<std::int32_t>(offsetof(Owner, seen)));
  EXPECT_EQ(record->startFailed, 0);
  EXPECT_EQ(record->stopRequested.load(), 0);
  ASSERT_TRUE(waitUntilEnded(record, 10000));
  EXPECT_EQ(owner.seen.first, &owner.seen);
  EXPECT_EQ(owner.seen.second, record);
  EXPECT_EQ(record->handle, nullptr);
  shutdown(record);
  shutdown(nullptr);
  EXPECT_TRUE(watcher.seen().empty());
}

TEST(WorkerThread, DivisionByZeroGivesOneOperationResultBoxWithTheFault) {
  SavedLastFault restore;
  lastFault = FaultRecord();
  const auto boxes = runWorker(divideByZero);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Exception");
  EXPECT_TRUE(startsWith(boxes[0].text, L"The operation result error occurred.\r\n")) << boxes[0].text;
  EXPECT_TRUE(endsWith(boxes[0].text,
                       L"\nExceptionCode: C0000094, ExceptionFlags: 00000000, "
                       L"ExceptionAddress: " +
                           hex8(lastFault.address) + L", NumberParameters: 00000000\n"))
      << boxes[0].text;
  EXPECT_TRUE(lastFault.recorded);
  EXPECT_EQ(lastFault.code, 0xC0000094u);
  EXPECT_TRUE(inside(lastFault.address, divideByZero)) << hex8(lastFault.address);
}

TEST(WorkerThread, ReportTextIsMessageSaveLineThenTheSystemTextThroughTheTranslator) {
  SavedLastFault restore;
  std::vector<test::SeenBox> boxes;
  {
    ReportTranslatorFor translator(&bracketed);
    boxes = runWorker(divideByZero);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Exception");  // never translated
  // The procedure's own last error survives the way from the fault to the box.
  const std::wstring expected = L"[The operation result error occurred.]\r\n[" + std::wstring(kSaveLine) + L"]\r\n" +
                                systemMessage(ERROR_ACCESS_DENIED) +
                                L"\nExceptionCode: C0000094, ExceptionFlags: 00000000, " + L"ExceptionAddress: " +
                                hex8(lastFault.address) + L", NumberParameters: 00000000\n";
  EXPECT_EQ(boxes[0].text, expected);
  EXPECT_FALSE(systemMessage(ERROR_ACCESS_DENIED).empty());
}

TEST(WorkerThread, NullPointerWriteGivesMemoryAccess) {
  SavedLastFault restore;
  const auto boxes = runWorker(writeThroughNull);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(
      boxes[0].text, L"The memory unlawful computer access error occurred.\r\n" + std::wstring(kSaveLine) + L"\r\n"))
      << boxes[0].text;
  EXPECT_EQ(lastFault.code, 0xC0000005u);
  EXPECT_EQ(lastFault.parameterCount, 2u);  // read or write, and the address
  EXPECT_TRUE(inside(lastFault.address, writeThroughNull)) << hex8(lastFault.address);
}

TEST(WorkerThread, FailedAllocationGivesMemoryAllocationAndLeavesLastFault) {
  SavedLastFault restore;
  lastFault = sentinelFault();
  const auto boxes = runWorker(allocateTooMuch);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(boxes[0].text, L"The memory allocating error occurred.\r\n")) << boxes[0].text;
  EXPECT_TRUE(sameFault(lastFault, sentinelFault()));
  // The handler was the worker's only while its procedure ran.
  EXPECT_EQ(std::get_new_handler(), nullptr);
  EXPECT_THROW(
      {
        std::vector<char> buffer(impossibleSize);
        keptAlive = buffer.data();
      },
      std::bad_alloc);
}

TEST(WorkerThread, RaiseFailureOnTheWorkerIsTranslatedLikeTheFault) {
  SavedLastFault restore;
  auto boxes = runWorker(raiseInvalidArgument);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(boxes[0].text, L"OS error occurred.\r\n" + std::wstring(kSaveLine) + L"\r\n" +
                                            systemMessage(ERROR_NO_UNICODE_TRANSLATION)))
      << boxes[0].text;
  EXPECT_EQ(lastFault.code, 0xC000001Du);
  EXPECT_EQ(lastFault.flags, 1u);
  EXPECT_EQ(lastFault.parameterCount, 0u);
  EXPECT_TRUE(inside(lastFault.address, raiseInvalidArgument)) << hex8(lastFault.address);

  // STATUS_NO_MEMORY is outside the table: the unknown failure, still recorded.
  boxes = runWorker(raiseOutOfMemory);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(boxes[0].text, std::wstring(kUnknownFailure) + L"\r\n" + kSaveLine + L"\r\n"))
      << boxes[0].text;
  EXPECT_TRUE(endsWith(boxes[0].text,
                       L"\nExceptionCode: C0000017, ExceptionFlags: 00000001, "
                       L"ExceptionAddress: " +
                           hex8(lastFault.address) + L", NumberParameters: 00000000\n"))
      << boxes[0].text;
}

TEST(WorkerThread, UnmappedFaultGivesTheUnknownFailureBox) {
  SavedLastFault restore;
  const auto boxes = runWorker(hitBreakpoint);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Exception");
  EXPECT_TRUE(startsWith(boxes[0].text, std::wstring(kUnknownFailure) + L"\r\n" + kSaveLine + L"\r\n"))
      << boxes[0].text;
  EXPECT_EQ(lastFault.code, 0x80000003u);
  EXPECT_TRUE(inside(lastFault.address, hitBreakpoint)) << hex8(lastFault.address);
}

PROCEDURE throwOwnExceptions(void*, WorkerThread*) {
  try {
    throw std::runtime_error("handled inside");
  } catch (const std::runtime_error&) {
  }
  OutputDebugStringW(L"worker test: debug output is no fault\n");
  throw std::logic_error("left to the guard");
}

TEST(WorkerThread, CppExceptionsAndDebugOutputAreNotFaults) {
  SavedLastFault restore;
  lastFault = sentinelFault();
  const auto boxes = runWorker(throwOwnExceptions);
  // Only the exception that leaves the procedure shows, as an unknown failure.
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(boxes[0].text, kUnknownFailure)) << boxes[0].text;
  EXPECT_TRUE(sameFault(lastFault, sentinelFault()));
}

PROCEDURE catchFaultsItself(void* object, WorkerThread*) {
  auto* caught = static_cast<std::vector<int>*>(object);
  for (int round = 0; round < 3; ++round) {
    try {
      if (round == 1)
        *nullTarget = round;
      else
        sink = dividend / zeroDivisor;
    } catch (Exception::ExceptionProcessor2Error value) {
      caught->push_back(value);
    }
  }
}

TEST(WorkerThread, ProcedureCanCatchTranslatedFaultsByValueAndGoOn) {
  SavedLastFault restore;
  std::vector<int> caught;
  const auto boxes = runWorker(catchFaultsItself, &caught);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(caught,
            (std::vector<int>{Exception::OperationResult, Exception::MemoryAccess, Exception::OperationResult}));
}

struct Locks {
  CriticalSection section;
  std::mutex mutex;
  std::atomic<bool> destroyed{false};
};

struct MarksDestruction {
  std::atomic<bool>& flag;
  ~MarksDestruction() { flag = true; }
};

PROCEDURE faultHoldingLocks(void* object, WorkerThread*) {
  auto* locks = static_cast<Locks*>(object);
  ScopedLock holdSection(locks->section);
  std::lock_guard<std::mutex> holdMutex(locks->mutex);
  MarksDestruction marker{locks->destroyed};
  sink = dividend / zeroDivisor;
}

DWORD WINAPI enterAndLeave(void* section) {
  static_cast<CriticalSection*>(section)->enter();
  static_cast<CriticalSection*>(section)->leave();
  return 0;
}

TEST(WorkerThread, LocksHeldByAFaultingProcedureAreReleased) {
  SavedLastFault restore;
  Locks locks;
  const auto boxes = runWorker(faultHoldingLocks, &locks);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(startsWith(boxes[0].text, L"The operation result error occurred.")) << boxes[0].text;
  EXPECT_TRUE(locks.destroyed.load());

  ASSERT_TRUE(locks.mutex.try_lock());
  locks.mutex.unlock();
  // A critical section left owned by the ended worker would block for ever.
  HANDLE taker = CreateThread(nullptr, 0, enterAndLeave, &locks.section, 0, nullptr);
  ASSERT_NE(taker, nullptr);
  const DWORD waited = WaitForSingleObject(taker, 5000);
  if (waited != WAIT_OBJECT_0) TerminateThread(taker, 1);
  CloseHandle(taker);
  EXPECT_EQ(waited, WAIT_OBJECT_0);
}

struct Progress {
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<std::int32_t> stopSeen{0};
  std::atomic<bool> finished{false};
  ~Progress() { CloseHandle(started); }
};

PROCEDURE workUntilAskedToStop(void* object, WorkerThread* record) {
  auto* progress = static_cast<Progress*>(object);
  SetEvent(progress->started);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (record->stopRequested == 0 && GetTickCount64() < deadline) Sleep(1);
  progress->stopSeen = record->stopRequested.load();
  Sleep(300);  // still busy after the request
  progress->finished = true;
}

TEST(WorkerThread, ShutdownWaitsForTheRunningProcedure) {
  Progress progress;
  test::MessageBoxWatcher watcher(IDOK);
  WorkerThread* record = start(new WorkerThread, &progress, workUntilAskedToStop, 0);
  ASSERT_EQ(WaitForSingleObject(progress.started, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(isRunning(record));
  shutdown(record);
  EXPECT_EQ(progress.stopSeen.load(), 1);
  EXPECT_TRUE(progress.finished.load());
  EXPECT_TRUE(watcher.seen().empty());
}

struct DelayedAnswer {
  HWND box;
  std::atomic<bool> answered{false};
};

DWORD WINAPI answerLater(void* data) {
  auto* answer = static_cast<DelayedAnswer*>(data);
  Sleep(1000);
  answer->answered = true;
  PostMessageW(GetDlgItem(answer->box, IDOK), BM_CLICK, 0, 0);
  return 0;
}

TEST(WorkerThread, ShutdownWaitsWhileTheReportBoxIsOpen) {
  SavedLastFault restore;
  WorkerThread* record = start(new WorkerThread, nullptr, divideByZero, 0);
  DelayedAnswer answer;
  answer.box = test::waitForMessageBox(10000);
  ASSERT_NE(answer.box, nullptr);
  EXPECT_TRUE(isRunning(record));

  HANDLE answerer = CreateThread(nullptr, 0, answerLater, &answer, 0, nullptr);
  ASSERT_NE(answerer, nullptr);
  shutdown(record);
  EXPECT_TRUE(answer.answered.load());
  WaitForSingleObject(answerer, INFINITE);
  CloseHandle(answerer);
}

PROCEDURE observeGuard(void* object, WorkerThread*) {
  auto* seen = static_cast<std::pair<bool, std::new_handler>*>(object);
  seen->first = faultTranslatorInstalled();
  seen->second = std::get_new_handler();
}

TEST(WorkerThread, GuardIsInstalledOnlyWhileTheProcedureRuns) {
  SavedLastFault restore;
  std::pair<bool, std::new_handler> seen{false, nullptr};
  runWorker(observeGuard, &seen);
  EXPECT_TRUE(seen.first);
  EXPECT_EQ(seen.second, &outOfMemoryHandler);
  EXPECT_FALSE(faultTranslatorInstalled());
  EXPECT_EQ(std::get_new_handler(), nullptr);

  // After a failure too, the process gets its handler back.
  runWorker(divideByZero);
  EXPECT_EQ(std::get_new_handler(), nullptr);
}

TEST(FaultTranslator, MapsTheTableAndRecordsEveryFault) {
  SavedLastFault restore;
  struct Mapping {
    std::uint32_t code;
    int value;
  };
  const Mapping table[] = {
      {0x80000001, Exception::OsError},
      {0xC0000006, Exception::OsError},
      {0xC000001D, Exception::OsError},
      {0xC0000026, Exception::OsError},
      {0x80000002, Exception::MemoryAccess},
      {0xC0000005, Exception::MemoryAccess},
      {0xC0000008, Exception::MemoryAccess},
      {0xC000008C, Exception::MemoryAccess},
      {0xC0000025, Exception::Algorithm},
      {0xC00000FD, Exception::Algorithm},
      {0xC0000194, Exception::Algorithm},
      {0xC000008E, Exception::OperationResult},
      {0xC000008F, Exception::OperationResult},
      {0xC0000091, Exception::OperationResult},
      {0xC0000092, Exception::OperationResult},
      {0xC0000094, Exception::OperationResult},
      {0xC0000095, Exception::OperationResult},
      {0xC0000090, Exception::Undefined},
      // Outside the table: C0000017 no memory, C000008D denormal operand,
      // C0000093 underflow, 80000003 breakpoint.
      {0xC0000017, -1},
      {0xC000008D, -1},
      {0xC0000093, -1},
      {0x80000003, -1},
  };
  for (const Mapping& mapping : table) {
    lastFault = FaultRecord();
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = mapping.code;
    record.ExceptionFlags = 1;
    record.ExceptionAddress = reinterpret_cast<void*>(0x401000 + mapping.code % 0x1000);
    record.NumberParameters = 3;
    int thrown = -2;
    try {
      faultTranslator(mapping.code, record);
    } catch (Exception::ExceptionProcessor2Error value) {
      thrown = value;
    } catch (const UnknownPlatformFailure& failure) {
      EXPECT_EQ(failure.code, mapping.code);
      thrown = -1;
    }
    EXPECT_EQ(thrown, mapping.value) << std::hex << mapping.code;
    EXPECT_TRUE(lastFault.recorded);
    EXPECT_EQ(lastFault.code, mapping.code);
    EXPECT_EQ(lastFault.flags, 1u);
    EXPECT_EQ(lastFault.address, 0x401000 + mapping.code % 0x1000);
    EXPECT_EQ(lastFault.parameterCount, 3u);
  }
}

TEST(FaultTranslator, LeavesCppExceptionsAndInformationAlone) {
  EXPECT_FALSE(isTranslatableFault(0x20474343));  // GCC's C++ exceptions
  EXPECT_FALSE(isTranslatableFault(0xE06D7363));  // MSVC's C++ exceptions
  EXPECT_FALSE(isTranslatableFault(0x40010006));  // debug output
  EXPECT_FALSE(isTranslatableFault(0x4001000A));  // wide debug output
  EXPECT_FALSE(isTranslatableFault(0x406D1388));  // thread name
  EXPECT_FALSE(isTranslatableFault(0x000006BA));  // an RPC status
  EXPECT_TRUE(isTranslatableFault(0xC0000005));
  EXPECT_TRUE(isTranslatableFault(0x80000003));
  EXPECT_TRUE(isTranslatableFault(0xC0000093));
}

PROCEDURE passBadPointerToTheSystem(void* object, WorkerThread*) {
  // lstrlenW catches the fault of a bad pointer itself and gives 0.
  *static_cast<int*>(object) = lstrlenW(reinterpret_cast<LPCWSTR>(std::uintptr_t{0x10}));
}

TEST(WorkerThread, FaultsTheSystemHandlesItselfAreNotTakenAway) {
  SavedLastFault restore;
  lastFault = sentinelFault();
  int length = -1;
  const auto boxes = runWorker(passBadPointerToTheSystem, &length);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(length, 0);
  EXPECT_TRUE(sameFault(lastFault, sentinelFault()));
}

// Children: a fault on a thread without the translator ends the process as
// it always did, even while a guarded worker runs and the handler is
// registered. The filter reports whether anything was recorded on the way.
LONG WINAPI exitWithCodeUnlessRecorded(EXCEPTION_POINTERS* pointers) {
  ExitProcess(lastFault.recorded ? 0xBAD0 : pointers->ExceptionRecord->ExceptionCode);
}

PROCEDURE waitInGuard(void* object, WorkerThread*) {
  auto* events = static_cast<HANDLE*>(object);
  SetEvent(events[0]);
  WaitForSingleObject(events[1], 30000);
}

int faultBesideAGuardedWorker(bool raise) {
  SetUnhandledExceptionFilter(exitWithCodeUnlessRecorded);
  HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  start(new WorkerThread, events, waitInGuard, 0);
  if (WaitForSingleObject(events[0], 10000) != WAIT_OBJECT_0) return 0xBAD1;
  if (raise) raiseFailure(E_INVALIDARG);
  *nullTarget = 1;
  return 0xBAD2;
}

const bool kRegistered =
    test::registerChildScenario(L"fault-beside-guarded-worker", [] { return faultBesideAGuardedWorker(false); }) &&
    test::registerChildScenario(L"raise-beside-guarded-worker", [] { return faultBesideAGuardedWorker(true); });

TEST(FaultTranslator, ThreadsWithoutItFaultAsBefore) {
  ASSERT_TRUE(kRegistered);
  EXPECT_EQ(test::runInChild(L"fault-beside-guarded-worker"), 0xC0000005ul);
  EXPECT_EQ(test::runInChild(L"raise-beside-guarded-worker"), 0xC000001Dul);
}

}  // namespace
