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

// On the Complete page: clears the press-release box (no browser for a
// test) and closes the wizard, which must end with exit code 1.
inline testing::AssertionResult closeWithoutPressRelease(SetupRun& run) {
  run.click(IDC_COMPLETE_PRESS_RELEASE);
  if (!waitUntil([&] { return !run.isChecked(IDC_COMPLETE_PRESS_RELEASE); }))
    return testing::AssertionFailure() << "the press-release box stayed ticked";
  run.click(IDC_FRAME_CLOSE);
  const DWORD exitCode = run.waitForExit();
  if (exitCode != 1) return testing::AssertionFailure() << "the setup ended with " << exitCode;
  return testing::AssertionSuccess();
}

// On the Offers page: No, then closeWithoutPressRelease on the Complete page.
inline testing::AssertionResult declineOffersAndClose(SetupRun& run) {
  run.click(IDC_FRAME_NO);
  if (!run.waitForPage(SetupPage::Complete))
    return testing::AssertionFailure() << "no Complete page after No, on " << pageName(run.currentPage());
  return closeWithoutPressRelease(run);
}

}  // namespace tonvane::test
