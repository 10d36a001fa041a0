// The install engine's job as its caller meets it: it shows nothing, and
// says how far it got and whether it went through. This program carries no
// application archive, so every run here fails before it touches the
// install folder; the install itself is tested on the setup's real payloads with the wizard's install
// step (tests/wizard/InstallJobTest.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InstallJob.h"
#include "MessageBoxWatcher.h"
#include "Resources.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

TEST(InstallJobResult, AJobWithoutItsArchiveSaysSoAndShowsNothing) {
  ASSERT_EQ(loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE).size, 0u);
  test::TempFolder target;
  test::MessageBoxWatcher boxes;
  InstallChoices choices;
  choices.installFolder = target / L"Tonvane Free";
  std::vector<int> positions;
  EXPECT_EQ(runInstallJob(choices, [&positions](int position) { positions.push_back(position); }),
            InstallResult::Failed);
  EXPECT_EQ(positions, std::vector<int>{0});
  Sleep(300);  // a box that would come late is still seen
  EXPECT_TRUE(boxes.seen().empty());
  EXPECT_FALSE(test::folderExists(choices.installFolder));

  // Without anyone to tell, the answer is the same.
  EXPECT_EQ(runInstallJob(choices, nullptr), InstallResult::Failed);
  EXPECT_TRUE(boxes.seen().empty());
}

}  // namespace
