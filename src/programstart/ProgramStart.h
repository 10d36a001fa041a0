// What each program of ours asks of the system as it starts, the setup and
// the uninstaller alike: one copy at a time, the command line, the
// interface language, and whether the system and the user's rights will do.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ScopedHandles.h"

namespace tonvane {

// The named mutex that lets one copy of a program run at a time.
class InstanceMutex {
 public:
  InstanceMutex() = default;
  ~InstanceMutex() { release(); }
  InstanceMutex(const InstanceMutex&) = delete;
  InstanceMutex& operator=(const InstanceMutex&) = delete;

  // Creates the mutex `name`, owned. True when no other copy holds it;
  // false also when it cannot be created: the program must not go on as if
  // it were alone. What was held before is released first.
  bool take(const wchar_t* name);

  // Gives the mutex back when this copy took it first, and closes it. Safe
  // to repeat.
  void release();

 private:
  KernelHandle handle_;
  bool first_ = false;
};

// The program's command line as the shell splits it; [0] is the program.
std::vector<std::wstring> commandLineArguments();

// Loads the translator from this program's Japanese table (TEXT
// IDR_JAPANESE_TABLE) when the language option of `arguments` or, without
// one, the user's language chooses Japanese (LanguageChoice.h); otherwise
// the interface stays English.
void loadInterfaceLanguage(const std::vector<std::wstring>& arguments);

// The two platform queries no test system can answer otherwise (Wine always
// reports an NT system and an administrator). Tests replace them.
struct StartupPlatform {
  BOOL (*getVersion)(OSVERSIONINFOW* info);
  BOOL (*isUserAnAdmin)();
};

// GetVersionExW and the shell's administrator test (shell32 ordinal 680).
StartupPlatform systemStartupPlatform();

}  // namespace tonvane
