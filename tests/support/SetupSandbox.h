// The fixtures of the tests that run the whole setup. WholeSetupTest leaves
// no install of the product before or after a test. SetupSandbox also keeps
// the run from reaching out: the partner offers' stand-ins log into a file
// of the test's own instead of installing anything, and the http handler
// records the pages the setup opens instead of starting a browser.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "TestFiles.h"
#include "UrlRecorder.h"
#include "WizardSteps.h"

namespace tonvane::test {

class WholeSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { removeInstallation(); }
  void TearDown() override { removeInstallation(); }
};

class SetupSandbox : public WholeSetupTest {
 protected:
  void SetUp() override {
    WholeSetupTest::SetUp();
    ASSERT_EQ(urlHandler_.status(), ERROR_SUCCESS);
  }

  // The environment block for SetupRun::start that sends the stand-ins'
  // log to partnerLog_.
  std::wstring partnerEnvironment() const { return environmentWith({L"TONVANE_PARTNER_LOG=" + partnerLog_}); }

  // Starts a setup (the build's unless named) so, and waits for its Welcome
  // page.
  testing::AssertionResult startInSandbox(SetupRun& run, const std::wstring& arguments = L"",
                                          const std::wstring& program = L"") const {
    return startAtWelcome(run, arguments, program, partnerEnvironment());
  }

  TempFolder temp_;
  std::wstring partnerLog_ = temp_ / L"partners.log";
  std::wstring urlRecord_ = temp_ / L"opened.txt";
  HttpHandlerSwap urlHandler_{urlRecorderCommand(urlRecord_)};
};

}  // namespace tonvane::test
