#include "FileFlusher.h"

namespace tonvane {

FileFlusher::FileFlusher()
    : free_(CreateSemaphoreW(nullptr, kWaiting, kWaiting, nullptr)),
      queued_(CreateSemaphoreW(nullptr, 0, kWaiting + 1, nullptr)),
      drained_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {
  InitializeCriticalSection(&lock_);
  if (free_.valid() && queued_.valid() && drained_.valid())
    thread_ = KernelHandle(CreateThread(nullptr, 0, &FileFlusher::run, this, 0, nullptr));
}

FileFlusher::~FileFlusher() {
  finish();
  if (thread_.valid()) {
    EnterCriticalSection(&lock_);
    stopping_ = true;
    LeaveCriticalSection(&lock_);
    ReleaseSemaphore(queued_.get(), 1, nullptr);
    WaitForSingleObject(thread_.get(), INFINITE);
  }
  DeleteCriticalSection(&lock_);
}

void FileFlusher::flush(HANDLE file) {
  const bool flushed = FlushFileBuffers(file) != FALSE;
  CloseHandle(file);
  if (flushed) return;
  EnterCriticalSection(&lock_);
  failed_ = true;
  LeaveCriticalSection(&lock_);
}

void FileFlusher::hand(KernelHandle file) {
  if (!file.valid()) return;
  if (!thread_.valid()) return flush(file.release());
  WaitForSingleObject(free_.get(), INFINITE);
  EnterCriticalSection(&lock_);
  ring_[(head_ + count_) % kWaiting] = file.release();
  if (count_++ == 0) ResetEvent(drained_.get());
  LeaveCriticalSection(&lock_);
  ReleaseSemaphore(queued_.get(), 1, nullptr);
}

bool FileFlusher::finish() {
  if (thread_.valid()) WaitForSingleObject(drained_.get(), INFINITE);
  EnterCriticalSection(&lock_);
  const bool whole = !failed_;
  LeaveCriticalSection(&lock_);
  return whole;
}

DWORD WINAPI FileFlusher::run(void* self) {
  FileFlusher& flusher = *static_cast<FileFlusher*>(self);
  for (;;) {
    WaitForSingleObject(flusher.queued_.get(), INFINITE);
    EnterCriticalSection(&flusher.lock_);
    if (flusher.count_ == 0 && flusher.stopping_) {
      LeaveCriticalSection(&flusher.lock_);
      return 0;
    }
    const HANDLE file = flusher.ring_[flusher.head_];
    LeaveCriticalSection(&flusher.lock_);
    // The slot stays taken until its file is flushed: count_ says what is
    // not yet done, so finish() waits for the flush, not just the hand-over.
    flusher.flush(file);
    EnterCriticalSection(&flusher.lock_);
    flusher.head_ = (flusher.head_ + 1) % kWaiting;
    if (--flusher.count_ == 0) SetEvent(flusher.drained_.get());
    LeaveCriticalSection(&flusher.lock_);
    ReleaseSemaphore(flusher.free_.get(), 1, nullptr);
  }
}

}  // namespace tonvane
