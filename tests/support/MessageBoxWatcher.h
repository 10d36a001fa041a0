// Answers the message boxes of this process from a second thread, as a user
// would, and records what they said.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ProcessWindows.h"

namespace tonvane::test {

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  HWND owner = nullptr;
};

class MessageBoxWatcher {
 public:
  // Presses `button` (IDOK, IDYES, ...) on every box that appears.
  explicit MessageBoxWatcher(int button = IDOK);
  ~MessageBoxWatcher();  // stops watching
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<SeenBox> seen() const;

 private:
  static DWORD WINAPI watch(void* self);
  void answer(HWND box);

  int button_;
  HANDLE stop_;
  HANDLE thread_;
  mutable CRITICAL_SECTION lock_;
  std::vector<SeenBox> seen_;
  std::vector<HWND> answered_;
};

}  // namespace tonvane::test
