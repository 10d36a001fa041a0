// What a test that runs the whole setup lets it reach: the partner offers'
// stand-ins log into a file of the test's own instead of installing
// anything, and the http handler records the pages the setup opens instead
// of starting a browser. A fixture derives from it beside ::testing::Test
// and checks urlHandler_.status() in its SetUp.
#pragma once

#include <string>

#include "SetupDriver.h"
#include "TestFiles.h"
#include "UrlRecorder.h"
#include "WizardSteps.h"

namespace tonvane::test {

class SetupSandbox {
 protected:
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
