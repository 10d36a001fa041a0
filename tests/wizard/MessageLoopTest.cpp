// The message loop on the real queue of the test's thread: quit codes, when
// idle handlers run, the filter order, the pump of pending messages, and the
// registry of loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "MessageLoop.h"

using namespace tonvane;

namespace {

constexpr UINT kSystemTimer = 0x0118;

// What a window of the test saw.
struct Seen {
  std::vector<UINT> messages;
  int paints = 0;
  std::function<void(UINT)> onMessage;
  int count(UINT message) const {
    int n = 0;
    for (UINT m : messages) n += m == message;
    return n;
  }
};

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* seen = reinterpret_cast<Seen*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (seen == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_PAINT) {
    // Only a real paint validates; a posted one has nothing to paint.
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    ++seen->paints;
  }
  const bool ours = message == WM_PAINT || message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE ||
                    message == kSystemTimer || message >= WM_APP;
  if (!ours) return DefWindowProcW(window, message, wParam, lParam);
  seen->messages.push_back(message);
  if (seen->onMessage) seen->onMessage(message);
  return 0;
}

const wchar_t* recordingClass() {
  static const bool registered = [] {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TonvaneLoopTestWindow";
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    return RegisterClassW(&windowClass) != 0;
  }();
  return registered ? L"TonvaneLoopTestWindow" : nullptr;
}

// A window of the test: message-only unless `visible`.
class TestWindow {
 public:
  explicit TestWindow(Seen& seen, bool visible = false) {
    window_ = visible ? CreateWindowExW(0, recordingClass(), L"loop test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                        300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)
                      : CreateWindowExW(0, recordingClass(), nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&seen));
  }
  ~TestWindow() { DestroyWindow(window_); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND handle() const { return window_; }

 private:
  HWND window_;
};

// Empties the thread's queue (creating windows posts a few messages of the
// system's own) so that the tests count only what they post.
void drainQueue() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

struct CountingIdle : IdleHandler {
  std::function<void(int)> action;
  int calls = 0;
  void onIdle() override {
    ++calls;
    if (action) action(calls);
  }
};

struct RecordingFilter : MessageFilter {
  RecordingFilter(std::string filterName, std::vector<std::string>& sharedLog)
      : name(std::move(filterName)), log(sharedLog) {}
  std::string name;
  std::vector<std::string>& log;
  std::function<bool(MSG&)> decide;
  bool preTranslateMessage(MSG& message) override {
    log.push_back(name + ":" + std::to_string(message.message - WM_APP));
    return decide ? decide(message) : false;
  }
};

// Posts a message to the thread after an event is set (or after the time
// limit, so that a fault ends the test instead of hanging it).
class DelayedThreadPost {
 public:
  DelayedThreadPost(UINT message, WPARAM wParam, DWORD delayAfterEvent)
      : thread_(GetCurrentThreadId()),
        message_(message),
        wParam_(wParam),
        delay_(delayAfterEvent),
        event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    handle_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
  }
  ~DelayedThreadPost() {
    SetEvent(event_);
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    CloseHandle(event_);
  }
  DelayedThreadPost(const DelayedThreadPost&) = delete;
  DelayedThreadPost& operator=(const DelayedThreadPost&) = delete;
  void trigger() { SetEvent(event_); }
  bool timedOut() const { return timedOut_; }
  // Triggers the post and waits for the thread: true when the trigger came
  // before the thread gave up waiting, so that its message cannot have been
  // what woke a pump that was waiting for input.
  bool triggeredInTime() {
    trigger();
    WaitForSingleObject(handle_, INFINITE);
    return !timedOut_;
  }

 private:
  static DWORD WINAPI run(void* self) {
    auto* post = static_cast<DelayedThreadPost*>(self);
    if (WaitForSingleObject(post->event_, 10000) == WAIT_TIMEOUT) post->timedOut_ = true;
    Sleep(post->delay_);
    PostThreadMessageW(post->thread_, post->message_, post->wParam_, 0);
    return 0;
  }
  DWORD thread_;
  UINT message_;
  WPARAM wParam_;
  DWORD delay_;
  HANDLE event_;
  HANDLE handle_ = nullptr;
  std::atomic<bool> timedOut_{false};
};

class Loop : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(initModule());
    drainQueue();
  }
  void TearDown() override {
    if (loopRegistry() != nullptr) loopRegistry()->remove(GetCurrentThreadId());
    termModule();
    drainQueue();
  }
  MessageLoop loop;
};

TEST_F(Loop, TheQuitMessageEndsTheLoopWithItsCode) {
  PostQuitMessage(42);
  EXPECT_EQ(loop.run(), 42);

  // Posted by an idle handler once the queue has run empty.
  CountingIdle idle;
  idle.action = [](int) { PostQuitMessage(7); };
  ASSERT_TRUE(loop.addIdleHandler(&idle));
  EXPECT_EQ(loop.run(), 7);
  EXPECT_EQ(idle.calls, 1);
  EXPECT_EQ(loop.currentMessage().message, static_cast<UINT>(WM_QUIT));
}

TEST_F(Loop, IdleHandlersRunOnceAfterABurstButNotForMouseMovesPaintOrTheSystemTimer) {
  Seen seen;
  TestWindow sink(seen);
  ASSERT_NE(sink.handle(), nullptr);
  DelayedThreadPost quit(WM_QUIT, 9, 500);

  std::vector<int> burstSeenAtIdle;
  std::vector<int> idleOrder;
  CountingIdle first, second;
  first.action = [&](int call) {
    idleOrder.push_back(1);
    burstSeenAtIdle.push_back(seen.count(WM_APP));
    if (call == 1) {
      for (int i = 0; i < 5; ++i) PostMessageW(sink.handle(), WM_APP, 0, 0);
    } else if (call == 2) {
      PostMessageW(sink.handle(), WM_MOUSEMOVE, 0, 0);
      PostMessageW(sink.handle(), WM_NCMOUSEMOVE, 0, 0);
      PostMessageW(sink.handle(), WM_PAINT, 0, 0);
      PostMessageW(sink.handle(), kSystemTimer, 0, 0);
    }
  };
  second.action = [&](int) { idleOrder.push_back(2); };
  // The quit is posted half a second after the last of the quiet messages:
  // time enough for a wrongly re-armed loop to call the handlers again.
  seen.onMessage = [&](UINT message) {
    if (message == kSystemTimer) quit.trigger();
  };
  ASSERT_TRUE(loop.addIdleHandler(&first));
  ASSERT_TRUE(loop.addIdleHandler(&second));

  EXPECT_EQ(loop.run(), 9);
  EXPECT_FALSE(quit.timedOut());
  EXPECT_EQ(first.calls, 2);
  EXPECT_EQ(second.calls, 2);
  EXPECT_EQ(idleOrder, (std::vector<int>{1, 2, 1, 2}));
  // Once with an empty queue at the start, once after the whole burst.
  EXPECT_EQ(burstSeenAtIdle, (std::vector<int>{0, 5}));
  EXPECT_EQ(seen.count(WM_MOUSEMOVE), 1);
  EXPECT_EQ(seen.count(WM_NCMOUSEMOVE), 1);
  EXPECT_EQ(seen.count(WM_PAINT), 1);
  EXPECT_EQ(seen.count(kSystemTimer), 1);
}

TEST_F(Loop, FiltersRunNewestFirstAndAConsumedMessageGoesNoFurther) {
  Seen seen;
  TestWindow sink(seen);
  std::vector<std::string> log;
  RecordingFilter oldest("A", log), middle("B", log), newest("C", log);
  middle.decide = [](MSG& message) { return message.message == WM_APP + 1; };
  newest.decide = [&](MSG& message) {
    // A filter removed while the filters run (here: by another filter) is
    // not called again, and no other filter is skipped or called twice.
    if (message.message == WM_APP + 3) {
      EXPECT_TRUE(loop.removeMessageFilter(&oldest));
    }
    return false;
  };
  ASSERT_TRUE(loop.addMessageFilter(&oldest));
  ASSERT_TRUE(loop.addMessageFilter(&middle));
  ASSERT_TRUE(loop.addMessageFilter(&newest));
  EXPECT_FALSE(loop.addMessageFilter(nullptr));

  for (UINT offset = 1; offset <= 4; ++offset) PostMessageW(sink.handle(), WM_APP + offset, 0, 0);
  PostQuitMessage(3);
  EXPECT_EQ(loop.run(), 3);

  EXPECT_EQ(log, (std::vector<std::string>{"C:1", "B:1",         // consumed by B
                                           "C:2", "B:2", "A:2",  //
                                           "C:3", "B:3",         // A removed by C
                                           "C:4", "B:4"}));
  EXPECT_EQ(seen.messages, (std::vector<UINT>{WM_APP + 2, WM_APP + 3, WM_APP + 4}));
  EXPECT_FALSE(loop.removeMessageFilter(&oldest));
  EXPECT_TRUE(loop.removeMessageFilter(&newest));
  EXPECT_TRUE(loop.removeMessageFilter(&middle));
  CountingIdle idle;
  EXPECT_FALSE(loop.removeIdleHandler(&idle));
}

TEST_F(Loop, PumpPaintsWhatIsPendingAndReturnsWithoutWaiting) {
  Seen seen;
  TestWindow window(seen, true);
  ASSERT_NE(window.handle(), nullptr);
  UpdateWindow(window.handle());
  drainQueue();
  const int paintsBefore = seen.paints;

  PumpState withoutLoop;
  InvalidateRect(window.handle(), nullptr, TRUE);
  EXPECT_FALSE(pumpPendingMessages(withoutLoop));  // no loop registered for this thread
  EXPECT_EQ(seen.paints, paintsBefore);

  ASSERT_TRUE(loopRegistry()->add(GetCurrentThreadId(), &loop));
  CountingIdle idle;
  ASSERT_TRUE(loop.addIdleHandler(&idle));
  std::vector<std::string> log;
  RecordingFilter filter("F", log);
  ASSERT_TRUE(loop.addMessageFilter(&filter));
  {
    // Wakes a pump that wrongly waits for input; the test then fails instead
    // of hanging.
    DelayedThreadPost wake(WM_APP + 9, 0, 0);
    PumpState state;
    EXPECT_TRUE(pumpPendingMessages(state));
    EXPECT_TRUE(wake.triggeredInTime());
    EXPECT_GE(seen.paints, paintsBefore + 1);
    EXPECT_EQ(idle.calls, 0);   // the paint was waiting from the start
    EXPECT_FALSE(log.empty());  // the paint went through the filters
  }
  drainQueue();

  // An empty queue: one round of idle handlers, then straight back.
  {
    DelayedThreadPost wake(WM_APP + 9, 0, 0);
    PumpState state;
    EXPECT_TRUE(pumpPendingMessages(state));
    EXPECT_TRUE(wake.triggeredInTime());
    EXPECT_EQ(idle.calls, 1);
    EXPECT_EQ(state.idleCount, 1);
    EXPECT_FALSE(state.idle);
  }
  drainQueue();
}

TEST_F(Loop, PumpLeavesTheQuitMessageToTheLoop) {
  ASSERT_TRUE(loopRegistry()->add(GetCurrentThreadId(), &loop));
  Seen seen;
  TestWindow sink(seen);
  seen.onMessage = [](UINT message) {
    if (message == WM_APP + 1) PostQuitMessage(5);
  };
  PostMessageW(sink.handle(), WM_APP + 1, 0, 0);
  PostMessageW(sink.handle(), WM_APP + 2, 0, 0);
  PumpState state;
  EXPECT_FALSE(pumpPendingMessages(state));
  // Everything queued before the quit was dispatched.
  EXPECT_EQ(seen.count(WM_APP + 1), 1);
  EXPECT_EQ(seen.count(WM_APP + 2), 1);

  // The quit is still there for the loop, which ends with its code.
  EXPECT_EQ(loop.run(), 5);
}

TEST(LoopRegistryTest, OneLoopPerThreadFoundByThreadId) {
  ASSERT_EQ(loopRegistry(), nullptr);
  EXPECT_EQ(currentMessageLoop(), nullptr);
  ASSERT_TRUE(initModule());
  LoopRegistry* registry = loopRegistry();
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->moduleThreadId(), GetCurrentThreadId());

  MessageLoop first, second, third;
  EXPECT_TRUE(registry->add(101, &first));
  EXPECT_TRUE(registry->add(202, &second));
  EXPECT_TRUE(registry->add(303, &third));
  EXPECT_FALSE(registry->add(202, &first));  // that thread has its loop
  EXPECT_FALSE(registry->add(404, nullptr));
  EXPECT_EQ(registry->find(202), &second);
  EXPECT_EQ(registry->find(404), nullptr);

  // Removing from the middle keeps the pairs together.
  EXPECT_TRUE(registry->remove(202));
  EXPECT_FALSE(registry->remove(202));
  EXPECT_EQ(registry->size(), 2u);
  EXPECT_EQ(registry->find(101), &first);
  EXPECT_EQ(registry->find(303), &third);
  EXPECT_EQ(registry->find(202), nullptr);

  // A second set-up keeps what is registered.
  EXPECT_TRUE(registry->add(GetCurrentThreadId(), &second));
  EXPECT_TRUE(initModule());
  EXPECT_EQ(loopRegistry(), registry);
  EXPECT_EQ(currentMessageLoop(), &second);

  termModule();
  EXPECT_EQ(loopRegistry(), nullptr);
  EXPECT_EQ(currentMessageLoop(), nullptr);
  termModule();
}

}  // namespace
