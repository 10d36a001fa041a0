// Shared main of the test programs. A test program started with "--child"
// and a scenario name runs that scenario instead of the tests; tests use it to
// watch behaviour that ends a process (see ChildProcess.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "ChildProcess.h"

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wcscmp(argv[1], L"--child") == 0) return tonvane::test::runChildScenario(argv[2]);
  // Wine would otherwise start its debugger on an unhandled fault.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
