// The main thread's message loop: message filters (newest first), idle
// handlers run when the queue runs empty, and the process-wide registry that
// finds a thread's loop, plus a one-shot pump of the messages already queued
// for long work done on that thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "CriticalSection.h"

namespace tonvane {

// Sees a message before it is translated and dispatched.
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  // True when the message was consumed: no later filter and no window sees it.
  virtual bool preTranslateMessage(MSG& message) = 0;
};

// Called once each time the queue runs empty after a message that counts as
// activity (see MessageLoop::isIdleMessage).
class IdleHandler {
 public:
  virtual ~IdleHandler() = default;
  virtual void onIdle() = 0;
};

// Where a loop stands: whether idle processing is armed, the rounds run
// since it was armed, and the message last taken or peeked at.
struct PumpState {
  bool idle = true;
  int idleCount = 0;
  MSG message = {};
};

class MessageLoop {
 public:
  MessageLoop() = default;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // False for a null pointer, or when the list cannot grow (the list is then
  // unchanged). Adding the same object twice registers it twice.
  bool addMessageFilter(MessageFilter* filter);
  bool addIdleHandler(IdleHandler* handler);
  // Removes the latest registration; false when the object is not registered.
  // Safe from inside a filter or idle handler of this loop (a window that is
  // destroyed while one of its own messages is filtered unregisters itself):
  // the removed object is never called again, the others are called as usual.
  bool removeMessageFilter(MessageFilter* filter);
  bool removeIdleHandler(IdleHandler* handler);

  // Runs until the quit message and returns its code. A GetMessageW failure
  // (-1) is skipped.
  int run();

  // One round of idle handlers, in the order they were registered. Always
  // false: the loop has no idle work of its own that would want another round.
  bool onIdle(int idleCount);

  // Offers the message to the filters, newest first; true when one consumed it.
  bool preTranslateMessage(MSG& message);

  // Whether the message re-arms idle processing: everything except mouse
  // movement, painting and the system (caret) timer 0x0118, which arrive
  // continuously and would otherwise make the idle handlers run all the time.
  static bool isIdleMessage(const MSG& message);

  // The body of run(), shared with pumpPendingMessages. Idle rounds while
  // they are armed and the queue is empty; true when they ended because a
  // message waits (peeked into state.message).
  bool idleWhileQueueEmpty(PumpState& state);
  // The message taken into state.message: offered to the filters, then
  // translated and dispatched unless one consumed it (nothing of it when
  // `dispatch` is false); it re-arms idle processing when it counts as
  // activity.
  void process(PumpState& state, bool dispatch);

  // The message last taken from the queue by run().
  const MSG& currentMessage() const { return running_.message; }

 private:
  template <typename T>
  static bool addTo(std::vector<T*>& list, T* item);
  template <typename T>
  bool removeFrom(std::vector<T*>& list, T* item);
  void compactIfIdle();

  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idleHandlers_;
  // Depth of filter or idle-handler calls in progress; while it is not zero a
  // removal leaves a null entry (skipped) instead of shifting the list.
  int calling_ = 0;
  bool holesLeft_ = false;
  PumpState running_;
};

// Thread id -> loop, for the process. Guarded by its own lock, which is never
// held while a message is processed.
class LoopRegistry {
 public:
  explicit LoopRegistry(DWORD moduleThreadId) : moduleThreadId_(moduleThreadId) {}
  LoopRegistry(const LoopRegistry&) = delete;
  LoopRegistry& operator=(const LoopRegistry&) = delete;

  // False for a null loop, a thread that already has a loop, or when the
  // lists cannot grow.
  bool add(DWORD threadId, MessageLoop* loop);
  // Null when the thread has no loop.
  MessageLoop* find(DWORD threadId);
  // False when the thread has no loop.
  bool remove(DWORD threadId);
  std::size_t size();

  // The thread that initialised the module.
  DWORD moduleThreadId() const { return moduleThreadId_; }

 private:
  CriticalSection lock_;
  DWORD moduleThreadId_;
  std::vector<DWORD> threadIds_;
  std::vector<MessageLoop*> loops_;
};

// The module's registry; null outside initModule .. termModule.
LoopRegistry* loopRegistry();

// The registered loop of the calling thread, or null (also without a registry).
MessageLoop* currentMessageLoop();

// Records the calling thread as the module's thread and creates the empty
// registry; false, with no registry, when there is no memory for it. Called
// again while a registry exists, it keeps that registry (and its loops) and
// gives true.
bool initModule();

// Frees the registry. Safe without a registry.
void termModule();

// Processes the messages already queued for the calling thread through
// `loop` (idle handlers when the queue is empty at the start, then the
// filters, translation and dispatch) and returns true as soon as the queue
// is empty; it never waits for a message. False when it meets the quit
// message: that message is left for (or, if it was taken, posted again with
// its code to) the loop that is expected to end with it.
bool pumpPendingMessages(MessageLoop& loop, PumpState& state);

// The same through the calling thread's registered loop; false at once when
// the thread has none.
bool pumpPendingMessages(PumpState& state);

}  // namespace tonvane
