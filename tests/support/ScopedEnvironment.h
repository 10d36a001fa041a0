// Scoped changes of this process's environment (and so of the programs it
// starts) for tests: where the temporary folder is, where the partner
// stand-ins and the probes write.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tonvane::test {

// Sets an environment variable for one scope and then puts back what was
// there (or removes it).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    std::vector<wchar_t> previous(32768);
    const DWORD length = GetEnvironmentVariableW(name, previous.data(), 32768);
    had_ = length > 0 && length < 32768;
    if (had_) previous_.assign(previous.data(), length);
    SetEnvironmentVariableW(name_, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_, had_ ? previous_.c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring previous_;
};

// GetTempPathW answers `folder` for one scope.
class ScopedTempPath {
 public:
  explicit ScopedTempPath(const std::wstring& folder) : tmp_(L"TMP", folder), temp_(L"TEMP", folder) {}

 private:
  ScopedEnvironment tmp_;
  ScopedEnvironment temp_;
};

}  // namespace tonvane::test
