// A guarded background thread: one procedure of an owner object runs at idle
// priority, and a fault or failure inside it ends the thread with a warning
// box ("Exception") instead of ending the process. The owner polls whether it
// still runs, and at teardown waits for its end without a time-out.
//
//   void stage(void* offers, WorkerThread* record);  // a plain function
//   OwnedWorker worker(start(new WorkerThread, &offers, &stage, 0));
//   ...
//   worker.reset();  // or its end: waits, then deletes the record
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "CriticalSection.h"
#include "Errors.h"
#include "ScopedHandles.h"

namespace tonvane {

struct WorkerThread {
  // Runs on the new thread with owner + ownerOffset and this record.
  using Procedure = void (*)(void* object, WorkerThread* record);

  void* owner = nullptr;
  // From a successful start until the thread itself ends; empty means the
  // thread does not run. Guarded by `lock`.
  KernelHandle handle;
  Procedure procedure = nullptr;
  std::int32_t ownerOffset = 0;
  CriticalSection lock;  // guards `handle` only
  // Set to 1 by shutdown before it waits. Procedures may look at it; nothing
  // forces them to.
  std::atomic<std::int32_t> stopRequested{0};
  // 1 when the thread could not be created or resumed.
  std::int32_t startFailed = 0;
};

// Fills the record (allocated by the owner with new) and starts the thread
// at idle priority. Never reports failure: a failed start leaves startFailed
// at 1 and a record that is not running. Returns the record.
WorkerThread* start(WorkerThread* record, void* owner, WorkerThread::Procedure procedure, std::int32_t ownerOffset);

bool isRunning(WorkerThread* record);

// Ends the thread by force and forgets its handle; used by a failed start.
void terminate(WorkerThread* record);

// The thread's entry routine; always returns 0.
DWORD WINAPI threadMain(void* record);

// Owner side, at teardown: sets stopRequested, waits (polling every 1 ms,
// for as long as it takes, an open report box included) until the thread
// has ended, then deletes the record. A null record is ignored.
void shutdown(WorkerThread* record);

// The owner of a started worker: its end (or reset) stops and joins the
// thread and frees the record, as shutdown does.
struct WorkerShutdown {
  void operator()(WorkerThread* record) const { shutdown(record); }
};
using OwnedWorker = std::unique_ptr<WorkerThread, WorkerShutdown>;

// The guard's two warning boxes, on the calling thread, owned by the desktop
// so the wizard's windows keep working while one is open. Both block until
// the user closes them.
void reportError(Exception::ExceptionProcessor2Error value);
void reportUnknownFailure();

// The report texts pass through this translator. Foundation cannot name the
// program's translator (the i18n library depends on foundation), so the
// program hands it over at start-up: setReportTranslator(&translateText).
// Unset (or null), the texts stay English.
using ReportTranslator = std::wstring (*)(const std::wstring& text);
void setReportTranslator(ReportTranslator translate);

}  // namespace tonvane
