#include "MessageBoxWatcher.h"

#include <algorithm>

namespace tonvane::test {

namespace {
constexpr int kMessageTextId = 0xFFFF;

struct Search {
  DWORD process;
  std::vector<HWND> boxes;
};

BOOL CALLBACK collectBoxes(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (process == search->process && std::wstring(className) == L"#32770" &&
      IsWindowVisible(window) && GetDlgItem(window, kMessageTextId) != nullptr)
    search->boxes.push_back(window);
  return TRUE;
}

// A box is read once, the moment it shows, which can be before its thread
// has entered the box's message loop. Wine counts a thread that has not
// asked for a message for five seconds as hung (a test's main thread, busy
// with its own checks, easily), and SMTO_ABORTIFHUNG then gave up at once
// with no text; so the read waits for the answer, with only a far bound.
std::wstring textOf(HWND window) {
  wchar_t buffer[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                      60000, nullptr);
  return buffer;
}
}  // namespace

std::vector<HWND> visibleMessageBoxes(DWORD processId) {
  Search search{processId, {}};
  EnumWindows(collectBoxes, reinterpret_cast<LPARAM>(&search));
  return search.boxes;
}

HWND waitForMessageBox(DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    const std::vector<HWND> boxes = visibleMessageBoxes();
    if (!boxes.empty()) return boxes.front();
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(20);
  }
}

MessageBoxWatcher::MessageBoxWatcher(int button)
    : button_(button), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
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
