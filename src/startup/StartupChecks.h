// The checks that run before anything else: one copy at a time, the
// interface language, an NT-family system, administrator rights.
#pragma once

#include <windows.h>

#include <optional>

namespace tonvane {

// The two platform queries no test system can answer otherwise (Wine always
// reports an NT system and an administrator). Tests replace them.
struct StartupPlatform {
  BOOL (*getVersion)(OSVERSIONINFOW* info);
  BOOL (*isUserAnAdmin)();
};

// GetVersionExW and the shell's administrator test (shell32 ordinal 680).
StartupPlatform systemStartupPlatform();

// Takes the instance mutex "TonvaneSetup", decides the language (loading the
// Japanese table when it is chosen) and checks the system and the rights.
// Empty: go on, the mutex is held. Otherwise the exit code, the mutex
// already given back; a refused check has shown its one message.
std::optional<int> checkStart(const StartupPlatform& platform = systemStartupPlatform());

// Releases and closes the instance mutex, if held.
void releaseInstance();

}  // namespace tonvane
