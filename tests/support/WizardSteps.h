// A step through the wizard for the tests that drive the real setup; apart
// from SetupDriver, which the benchmark driver uses without GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include "SetupDriver.h"

namespace tonvane::test {

// Clicks Next and waits for the expected page; a failure names the page the
// wizard stands on instead.
inline testing::AssertionResult nextTo(SetupRun& run, SetupPage expected, DWORD milliseconds = 60000) {
  run.click(IDC_FRAME_NEXT);
  if (run.waitForPage(expected, milliseconds)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "expected " << pageName(expected) << ", on "
                                     << pageName(run.currentPage());
}

}  // namespace tonvane::test
