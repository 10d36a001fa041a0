// The checks that run before anything else: one copy at a time, the
// interface language, an NT-family system, administrator rights.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ExitCode.h"
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

// The two platform queries no test system can answer otherwise (Wine always
// reports an NT system and an administrator). Tests replace them.
struct StartupPlatform {
  BOOL (*getVersion)(OSVERSIONINFOW* info);
  BOOL (*isUserAnAdmin)();
};

// GetVersionExW and the shell's administrator test (shell32 ordinal 680).
StartupPlatform systemStartupPlatform();

// Takes the setup's instance mutex (kSetupMutexName), decides the language
// (loading the Japanese table when it is chosen) and checks the system and
// the rights. Empty: go on, the mutex is held. Otherwise the exit code, the
// mutex already given back: WizardRefused when `showRefusals` (the wizard),
// after the refused check has shown its one message; else (a silent
// install, which shows nothing) the silent run's code for it. Every refusal
// is written to the setup log.
std::optional<ExitCode> checkStart(const StartupPlatform& platform = systemStartupPlatform(),
                              bool showRefusals = true);

// Releases and closes the instance mutex, if held.
void releaseInstance();

}  // namespace tonvane
