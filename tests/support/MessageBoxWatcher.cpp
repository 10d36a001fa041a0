#include "MessageBoxWatcher.h"

#include <algorithm>

namespace tonvane::test {

namespace {
constexpr int kMessageTextId = 0xFFFF;

// A box is read once, the moment it shows, which can be before its thread
// has entered the box's message loop. Wine counts a thread that has not
// asked for a message for five seconds as hung (a test's main thread, busy
// with its own checks, easily), and SMTO_ABORTIFHUNG then gave up at once
// with no text; so the read waits for the answer, with only a far bound.
std::wstring textOf(HWND window) {
  wchar_t buffer[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 60000, nullptr);
  return buffer;
}
}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int button) : button_(button), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(stop_);
  DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> MessageBoxWatcher::seen() const {
  EnterCriticalSection(&lock_);
  std::vector<SeenBox> copy = seen_;
  LeaveCriticalSection(&lock_);
  return copy;
}

DWORD WINAPI MessageBoxWatcher::watch(void* self) {
  auto* watcher = static_cast<MessageBoxWatcher*>(self);
  while (WaitForSingleObject(watcher->stop_, 50) == WAIT_TIMEOUT) {
    for (HWND box : visibleMessageBoxes()) watcher->answer(box);
  }
  return 0;
}

void MessageBoxWatcher::answer(HWND box) {
  if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) return;
  answered_.push_back(box);
  SeenBox seenBox{textOf(box), textOf(GetDlgItem(box, kMessageTextId)), GetWindow(box, GW_OWNER)};
  EnterCriticalSection(&lock_);
  seen_.push_back(seenBox);
  LeaveCriticalSection(&lock_);
  PostMessageW(GetDlgItem(box, button_), BM_CLICK, 0, 0);
}

}  // namespace tonvane::test
