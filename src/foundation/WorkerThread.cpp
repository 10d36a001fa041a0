#include "WorkerThread.h"

#include <cstdint>
#include <new>

#include "FaultTranslator.h"

namespace tonvane {

namespace {

std::atomic<ReportTranslator> reportTranslator{nullptr};

std::wstring translated(const std::wstring& text) {
  const ReportTranslator translate = reportTranslator.load();
  return translate != nullptr ? translate(text) : text;
}

void showReport(const std::wstring& firstLine) {
  // Read before anything else runs on this thread: the translator (or
  // anything it calls) could overwrite the last error the user is told about.
  const std::wstring systemText = systemErrorText();
  const std::wstring text = translated(firstLine) + L"\r\n" +
                            translated(
                                L"Immediately save the date with another name and "
                                L"restart the application.") +
                            L"\r\n" + systemText;
  MessageBoxW(GetDesktopWindow(), text.c_str(), L"Exception", MB_ICONWARNING);
}

// The translator on this thread and the allocation-failure handler for the
// process, for as long as the procedure runs. Both come back however the
// procedure ends: a handler left behind after a failure would turn every
// later failed allocation of the process, on threads without a guard too,
// into a MemoryAllocation value nobody catches.
class ProcedureGuard {
 public:
  ProcedureGuard() : previousHandler_(std::set_new_handler(&outOfMemoryHandler)) {}
  ~ProcedureGuard() { std::set_new_handler(previousHandler_); }
  ProcedureGuard(const ProcedureGuard&) = delete;
  ProcedureGuard& operator=(const ProcedureGuard&) = delete;

 private:
  FaultTranslatorScope translator_;
  std::new_handler previousHandler_;
};

void runGuarded(WorkerThread* record) {
  if (record->procedure == nullptr) return;
  void* object = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(record->owner) +
                                         static_cast<std::intptr_t>(record->ownerOffset));
  try {
    try {
      ProcedureGuard guard;
      record->procedure(object, record);
    } catch (Exception::ExceptionProcessor2Error value) {
      reportError(value);
    } catch (...) {
      reportUnknownFailure();
    }
  } catch (...) {
    // A report that could not even be built (no memory left) must not end
    // the process, nor keep the thread from signalling its end below.
  }
}

}  // namespace

WorkerThread* start(WorkerThread* record, void* owner, WorkerThread::Procedure procedure, std::int32_t ownerOffset) {
  record->owner = owner;
  record->procedure = procedure;
  record->ownerOffset = ownerOffset;
  record->handle.close();
  record->stopRequested = 0;
  record->startFailed = 0;

  // Held until the handle is settled, so the new thread cannot clear it
  // before this function is done with it.
  ScopedLock hold(record->lock);
  record->handle.reset(CreateThread(nullptr, 0, threadMain, record, CREATE_SUSPENDED, nullptr));
  bool resumed = false;
  if (record->handle.valid()) {
    SetThreadPriority(record->handle.get(), THREAD_PRIORITY_IDLE);
    resumed = ResumeThread(record->handle.get()) != static_cast<DWORD>(-1);
  }
  if (!resumed) {
    record->startFailed = 1;
    terminate(record);
  }
  return record;
}

bool isRunning(WorkerThread* record) {
  ScopedLock hold(record->lock);
  return record->handle.valid();
}

void terminate(WorkerThread* record) {
  ScopedLock hold(record->lock);
  if (!record->handle.valid()) return;
  DWORD exitCode = 0;
  GetExitCodeThread(record->handle.get(), &exitCode);
  TerminateThread(record->handle.get(), exitCode);
  record->handle.close();
}

DWORD WINAPI threadMain(void* parameter) {
  auto* record = static_cast<WorkerThread*>(parameter);
  runGuarded(record);
  // The thread's last use of the record: once the handle is closed the
  // owner may delete it.
  ScopedLock hold(record->lock);
  record->handle.close();
  return 0;
}

void shutdown(WorkerThread* record) {
  if (record == nullptr) return;
  record->stopRequested = 1;
  while (isRunning(record)) Sleep(1);
  delete record;
}

void reportError(Exception::ExceptionProcessor2Error value) { showReport(errorMessage(value)); }

void reportUnknownFailure() {
  // The key ends with its own line break, so the line break comes twice.
  showReport(L"An error has occurred. The command will be cancelled.\r\n");
}

void setReportTranslator(ReportTranslator translate) { reportTranslator.store(translate); }

}  // namespace tonvane
