#include "MessageLoop.h"

#include <algorithm>
#include <exception>
#include <new>

namespace tonvane {

namespace {

// Messages that do not count as activity.
constexpr UINT kSystemTimer = 0x0118;
// The idle kick of frameworks that post one to their own loop; not a window
// message of ours, so the pump never dispatches it.
constexpr UINT kKickIdle = 0x036A;

std::unique_ptr<LoopRegistry>& registryOwner() {
  static std::unique_ptr<LoopRegistry> registry;
  return registry;
}

bool messageWaiting(MSG& message) { return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE; }

}  // namespace

template <typename T>
bool MessageLoop::addTo(std::vector<T*>& list, T* item) {
  if (item == nullptr) return false;
  try {
    list.push_back(item);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

template <typename T>
bool MessageLoop::removeFrom(std::vector<T*>& list, T* item) {
  if (item == nullptr) return false;
  const auto found = std::find(list.rbegin(), list.rend(), item);
  if (found == list.rend()) return false;
  if (calling_ > 0) {
    // A filter or handler is running over this list; shifting the entries
    // under it would skip one or call one twice.
    *found = nullptr;
    holesLeft_ = true;
  } else {
    list.erase(std::next(found).base());
  }
  return true;
}

void MessageLoop::compactIfIdle() {
  if (calling_ > 0 || !holesLeft_) return;
  filters_.erase(std::remove(filters_.begin(), filters_.end(), nullptr), filters_.end());
  idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), nullptr), idleHandlers_.end());
  holesLeft_ = false;
}

bool MessageLoop::addMessageFilter(MessageFilter* filter) { return addTo(filters_, filter); }
bool MessageLoop::addIdleHandler(IdleHandler* handler) { return addTo(idleHandlers_, handler); }
bool MessageLoop::removeMessageFilter(MessageFilter* filter) { return removeFrom(filters_, filter); }
bool MessageLoop::removeIdleHandler(IdleHandler* handler) { return removeFrom(idleHandlers_, handler); }

bool MessageLoop::onIdle(int /*idleCount*/) {
  ++calling_;
  // Handlers added during the round are called in this round too; the size
  // is read again each time for that reason.
  for (std::size_t i = 0; i < idleHandlers_.size(); ++i) {
    if (idleHandlers_[i] != nullptr) idleHandlers_[i]->onIdle();
  }
  --calling_;
  compactIfIdle();
  return false;
}

bool MessageLoop::preTranslateMessage(MSG& message) {
  ++calling_;
  bool consumed = false;
  // An index (not an iterator): a filter may add another one while it runs.
  for (std::size_t i = filters_.size(); i > 0 && !consumed; --i) {
    if (i > filters_.size()) continue;
    MessageFilter* filter = filters_[i - 1];
    if (filter != nullptr) consumed = filter->preTranslateMessage(message);
  }
  --calling_;
  compactIfIdle();
  return consumed;
}

bool MessageLoop::isIdleMessage(const MSG& message) {
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kSystemTimer:
      return false;
    default:
      return true;
  }
}

bool MessageLoop::idleWhileQueueEmpty(PumpState& state) {
  while (state.idle) {
    if (messageWaiting(state.message)) return true;
    if (!onIdle(state.idleCount++)) state.idle = false;
  }
  return false;
}

void MessageLoop::process(PumpState& state, bool dispatch) {
  if (dispatch && !preTranslateMessage(state.message)) {
    TranslateMessage(&state.message);
    DispatchMessageW(&state.message);
  }
  if (isIdleMessage(state.message)) {
    state.idle = true;
    state.idleCount = 0;
  }
}

int MessageLoop::run() {
  running_ = PumpState();
  for (;;) {
    idleWhileQueueEmpty(running_);
    const BOOL got = GetMessageW(&running_.message, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    process(running_, true);
  }
  return static_cast<int>(running_.message.wParam);
}

bool LoopRegistry::add(DWORD threadId, MessageLoop* loop) {
  if (loop == nullptr) return false;
  ScopedLock hold(lock_);
  if (std::find(threadIds_.begin(), threadIds_.end(), threadId) != threadIds_.end()) return false;
  try {
    threadIds_.reserve(threadIds_.size() + 1);
    loops_.reserve(loops_.size() + 1);
  } catch (const std::exception&) {
    return false;
  }
  // Both lists have room now, so the pair goes in together or not at all.
  threadIds_.push_back(threadId);
  loops_.push_back(loop);
  return true;
}

MessageLoop* LoopRegistry::find(DWORD threadId) {
  ScopedLock hold(lock_);
  const auto found = std::find(threadIds_.begin(), threadIds_.end(), threadId);
  if (found == threadIds_.end()) return nullptr;
  return loops_[static_cast<std::size_t>(found - threadIds_.begin())];
}

bool LoopRegistry::remove(DWORD threadId) {
  ScopedLock hold(lock_);
  const auto found = std::find(threadIds_.begin(), threadIds_.end(), threadId);
  if (found == threadIds_.end()) return false;
  const std::ptrdiff_t at = found - threadIds_.begin();
  threadIds_.erase(found);
  loops_.erase(loops_.begin() + at);
  return true;
}

std::size_t LoopRegistry::size() {
  ScopedLock hold(lock_);
  return threadIds_.size();
}

LoopRegistry* loopRegistry() { return registryOwner().get(); }

MessageLoop* currentMessageLoop() {
  LoopRegistry* registry = loopRegistry();
  return registry != nullptr ? registry->find(GetCurrentThreadId()) : nullptr;
}

bool initModule() {
  std::unique_ptr<LoopRegistry>& registry = registryOwner();
  if (!registry) registry.reset(new (std::nothrow) LoopRegistry(GetCurrentThreadId()));
  return registry != nullptr;
}

void termModule() { registryOwner().reset(); }

bool pumpPendingMessages(MessageLoop& loop, PumpState& state) {
  for (;;) {
    const bool waiting = loop.idleWhileQueueEmpty(state);
    // Only what is queued is pumped: waiting here for the next message would
    // stall the caller's long work until the user happened to move the mouse.
    if (!waiting && !messageWaiting(state.message)) return true;
    if (state.message.message == WM_QUIT) return false;
    const BOOL got = GetMessageW(&state.message, nullptr, 0, 0);
    if (got == 0) {
      // The loop around the caller must still see it, or it would never end.
      PostQuitMessage(static_cast<int>(state.message.wParam));
      return false;
    }
    loop.process(state, got != -1 && state.message.message != kKickIdle);
    if (!messageWaiting(state.message)) return true;
  }
}

bool pumpPendingMessages(PumpState& state) {
  MessageLoop* loop = currentMessageLoop();
  return loop != nullptr && pumpPendingMessages(*loop, state);
}

}  // namespace tonvane
