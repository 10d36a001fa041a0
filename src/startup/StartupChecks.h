// The setup's checks that run before anything else: one copy at a time, the
// interface language, an NT-family system, administrator rights (each asked
// through ProgramStart.h, which the uninstaller shares).
#pragma once

#include <windows.h>

#include <optional>

#include "ExitCode.h"
#include "ProgramStart.h"

namespace tonvane {

// Takes the setup's instance mutex (kSetupMutexName), decides the language
// (loading the Japanese table when it is chosen) and checks the system and
// the rights. Empty: go on, the mutex is held. Otherwise the exit code, the
// mutex already given back: WizardRefused when `showRefusals` (the wizard),
// after the refused check has shown its one message; else (a silent
// install, which shows nothing) the silent run's code for it. Every refusal
// is written to the setup log.
std::optional<ExitCode> checkStart(const StartupPlatform& platform = systemStartupPlatform(), bool showRefusals = true);

// Releases and closes the instance mutex, if held.
void releaseInstance();

}  // namespace tonvane
