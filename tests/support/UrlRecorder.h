// The command the shell runs for http addresses, replaced by a test's own
// recorder for a while, so that opening a web page can be observed.
#pragma once

#include <windows.h>

#include <string>

#include "RegistryKey.h"

namespace tonvane::test {

// Puts the recorder under HKCR\http\shell\open\command for its lifetime and
// puts back what was there.
class HttpHandlerSwap {
 public:
  explicit HttpHandlerSwap(const std::wstring& command) {
    status_ = key_.create(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command");
    if (status_ != ERROR_SUCCESS) return;
    hadValue_ = queryStringGrowing(key_, L"", previous_) == ERROR_SUCCESS;
    status_ = key_.setString(L"", command);
  }
  ~HttpHandlerSwap() {
    if (!key_.isOpen()) return;
    if (hadValue_)
      key_.setString(L"", previous_);
    else
      RegDeleteValueW(key_.handle(), nullptr);
  }
  HttpHandlerSwap(const HttpHandlerSwap&) = delete;
  HttpHandlerSwap& operator=(const HttpHandlerSwap&) = delete;
  LONG status() const { return status_; }
  bool hadValue() const { return hadValue_; }
  const std::wstring& previous() const { return previous_; }

 private:
  RegistryKey key_;
  LONG status_ = ERROR_SUCCESS;
  bool hadValue_ = false;
  std::wstring previous_;
};

// The command now registered for http addresses; "" when there is none.
std::wstring currentHttpCommand();

// A command for HttpHandlerSwap that starts a copy of this test program as
// the browser: it writes the address it was given into `recordFile`, UTF-8.
std::wstring urlRecorderCommand(const std::wstring& recordFile);

// The process that started the recorder which wrote `recordFile`: whoever
// ran the http command, the shell's process or the caller's. Zero and ""
// when nothing was recorded.
struct Opener {
  DWORD processId = 0;
  std::wstring name;
};
Opener openerOf(const std::wstring& recordFile);

// The file's bytes once it exists and has been written, "" when it does not
// appear within the time.
std::string waitForFile(const std::wstring& path, DWORD milliseconds);

}  // namespace tonvane::test
