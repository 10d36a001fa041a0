// The steps through the wizard for the tests that drive the real setup; apart
// from SetupDriver, which the walk-through and the benchmark driver use
// without GoogleTest. Each step says on failure where the wizard stands
// instead; a test asserts it: ASSERT_TRUE(nextTo(run, SetupPage::Folder)).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "SetupDriver.h"

namespace tonvane::test {

// Starts the setup as SetupRun::start does and waits for its Welcome page.
inline testing::AssertionResult startAtWelcome(SetupRun& run, const std::wstring& arguments = L"",
                                               const std::wstring& program = L"",
                                               const std::wstring& environmentBlock = L"",
                                               const std::wstring& workingFolder = L"") {
  if (!run.start(arguments, program, environmentBlock, workingFolder))
    return testing::AssertionFailure() << "the setup did not start";
  if (run.waitForFrame() == nullptr)
    return testing::AssertionFailure() << "no wizard; the setup ended with " << run.exitCode();
  if (!run.waitForPage(SetupPage::Welcome))
    return testing::AssertionFailure() << "no Welcome page, on " << pageName(run.currentPage());
  return testing::AssertionSuccess();
}

// Clicks Next and waits for the expected page.
inline testing::AssertionResult nextTo(SetupRun& run, SetupPage expected, DWORD milliseconds = 60000) {
  run.click(IDC_FRAME_NEXT);
  if (run.waitForPage(expected, milliseconds)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "expected " << pageName(expected) << ", on " << pageName(run.currentPage());
}

// From Welcome with the defaults: the Folder and the Shortcuts page, then
// the install up to the page after it (Offers, or Complete when no offer is
// made), for which a busy machine may take two minutes.
inline testing::AssertionResult nextThroughInstall(SetupRun& run, SetupPage afterInstall = SetupPage::Offers,
                                                   DWORD milliseconds = 120000) {
  for (SetupPage page : {SetupPage::Folder, SetupPage::Shortcuts})
    if (testing::AssertionResult reached = nextTo(run, page); !reached) return reached;
  return nextTo(run, afterInstall, milliseconds);
}

// On the Folder page with a folder that exists: Next, Yes to the question,
// the Shortcuts page.
inline testing::AssertionResult nextOverExistingFolder(SetupRun& run) {
  run.click(IDC_FRAME_NEXT);
  HWND box = run.waitForMessageBox();
  if (box == nullptr) return testing::AssertionFailure() << "no question, on " << pageName(run.currentPage());
  if (!SetupRun::answer(box, IDYES)) return testing::AssertionFailure() << "the question stayed";
  return run.waitForPage(SetupPage::Shortcuts)
             ? testing::AssertionSuccess()
             : testing::AssertionFailure() << "expected Shortcuts, on " << pageName(run.currentPage());
}

// Clicks a check box of the page and waits until it shows `ticked`.
inline testing::AssertionResult clickBox(SetupRun& run, int id, bool ticked) {
  run.click(id);
  if (waitUntil([&] { return run.isChecked(id) == ticked; })) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "box " << id << " stayed " << (ticked ? "unticked" : "ticked");
}

// Cancel, and OK to the question: the wizard ends with exit code 2.
inline testing::AssertionResult cancelConfirmed(SetupRun& run) {
  run.click(IDC_FRAME_CANCEL);
  HWND box = run.waitForMessageBox();
  if (box == nullptr) return testing::AssertionFailure() << "no question, on " << pageName(run.currentPage());
  if (!SetupRun::answer(box, IDOK)) return testing::AssertionFailure() << "the question stayed";
  const DWORD exitCode = run.waitForExit();
  if (exitCode != 2) return testing::AssertionFailure() << "the setup ended with " << exitCode;
  return testing::AssertionSuccess();
}

// On the Complete page: clears the press-release box (no browser for a
// test) and closes the wizard, which must end with exit code 1.
inline testing::AssertionResult closeWithoutPressRelease(SetupRun& run) {
  if (testing::AssertionResult cleared = clickBox(run, IDC_COMPLETE_PRESS_RELEASE, false); !cleared) return cleared;
  run.click(IDC_FRAME_CLOSE);
  const DWORD exitCode = run.waitForExit();
  if (exitCode != 1) return testing::AssertionFailure() << "the setup ended with " << exitCode;
  return testing::AssertionSuccess();
}

// On the Offers page: No, and the Complete page.
inline testing::AssertionResult declineOffers(SetupRun& run) {
  run.click(IDC_FRAME_NO);
  if (run.waitForPage(SetupPage::Complete)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no Complete page after No, on " << pageName(run.currentPage());
}

inline testing::AssertionResult declineOffersAndClose(SetupRun& run) {
  if (testing::AssertionResult declined = declineOffers(run); !declined) return declined;
  return closeWithoutPressRelease(run);
}

}  // namespace tonvane::test
