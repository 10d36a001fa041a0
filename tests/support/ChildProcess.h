// Scenarios that end their process (an unhandled platform exception, say) run
// in a second copy of the test program; the test reads its exit code.
#pragma once

#include <functional>
#include <string>

namespace tonvane::test {

// Registers a scenario under a name; use at namespace scope:
//   static const bool registered = registerChildScenario(L"name", [] { ... return 0; });
bool registerChildScenario(const std::wstring& name, std::function<int()> scenario);

// Runs the scenario in a copy of this program and returns its exit code. In
// the copy an unhandled platform exception ends the process with the
// exception's code, and with 0xDEAD when the exception was continuable.
// `arguments` follow the scenario name on the copy's command line. A copy
// still running after 30 seconds is ended and gives STILL_ACTIVE (259).
unsigned long runInChild(const std::wstring& scenario, const std::wstring& arguments = L"");

int runChildScenario(const std::wstring& name);

}  // namespace tonvane::test
