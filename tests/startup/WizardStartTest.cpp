// The wizard as the entry point meets it when the program carries no frame
// template (this test program has none): nothing appears, the result is 0,
// and the thread's loop is unregistered again.
#include <windows.h>

#include <gtest/gtest.h>

#include "MessageBoxWatcher.h"
#include "MessageLoop.h"
#include "SetupWizard.h"

using namespace tonvane;

namespace {

TEST(WizardStart, WithoutItsFrameTheWizardEndsWithZeroAndShowsNothing) {
  ASSERT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_FRAME), MAKEINTRESOURCEW(5)), nullptr);
  ASSERT_TRUE(initModule());
  test::MessageBoxWatcher watcher;
  EXPECT_EQ(runWizard(SW_SHOWNORMAL), ExitCode::WizardNotShown);
  EXPECT_EQ(loopRegistry()->size(), 0u);
  EXPECT_EQ(currentMessageLoop(), nullptr);
  EXPECT_EQ(test::topLevelWindows(GetCurrentProcessId(), true).size(), 0u);
  EXPECT_TRUE(watcher.seen().empty());
  termModule();
}

}  // namespace
