// Flushes written files to the disk, and closes them, on a thread of its
// own. A flush waits for the disk; done by the writer after each file it
// would add that wait to every file of an install, while the writer could
// be decoding the next one.
#pragma once

#include <windows.h>

#include "ScopedHandles.h"

namespace tonvane {

class FileFlusher {
 public:
  FileFlusher();
  // Waits for the files handed over.
  ~FileFlusher();
  FileFlusher(const FileFlusher&) = delete;
  FileFlusher& operator=(const FileFlusher&) = delete;

  // Takes a file written whole, to be flushed and closed. Without a thread
  // (none could be started) it is flushed here and now. Waits while many
  // files are still waiting for their flush, so that few stay open.
  void hand(KernelHandle file);

  // Waits for every file handed over so far; false when any flush failed.
  bool finish();

 private:
  static DWORD WINAPI run(void* self);
  void flush(HANDLE file);

  static constexpr LONG kWaiting = 64;

  KernelHandle thread_;
  KernelHandle free_;     // semaphore: slots free in the ring
  KernelHandle queued_;   // semaphore: files in the ring
  KernelHandle drained_;  // event: nothing in the ring or being flushed
  CRITICAL_SECTION lock_;
  HANDLE ring_[kWaiting] = {};
  LONG head_ = 0;
  LONG count_ = 0;  // in the ring or being flushed
  bool failed_ = false;
  bool stopping_ = false;
};

}  // namespace tonvane
