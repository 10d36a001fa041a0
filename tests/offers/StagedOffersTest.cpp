// The owner of what the offer worker stages: its teardown waits for the
// worker, then deletes what was staged.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PartnerOffers.h"
#include "TestFiles.h"
#include "WorkerThread.h"

using namespace tonvane;

namespace {

// Where stageLate stages; set before its worker starts.
std::wstring lateStagingFolder;

// Stages like the offer worker, but late: it takes the lock only after the
// record's owner may already have started to tear it down.
void stageLate(void* object, WorkerThread*) {
  auto* state = static_cast<StagedOffers*>(object);
  Sleep(300);
  ScopedLock hold(state->lock);
  const std::wstring folder = lateStagingFolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  state->stagingFolder = folder;
  const std::wstring file = folder + L"offer.exe";
  test::writeBytes(file, "MZ");
  state->tempFiles.push_back(file);
}

TEST(StagedOffersTest, TeardownWaitsForTheWorkerThenDeletesWhatItStaged) {
  test::TempFolder temp;
  const std::wstring staging = temp / L"staging\\";
  {
    lateStagingFolder = staging;
    StagedOffers state;
    state.offerWorker.reset(start(new WorkerThread, &state, &stageLate, 0));
    ASSERT_EQ(state.offerWorker->startFailed, 0);
    EXPECT_FALSE(test::folderExists(staging));  // not staged yet
  }
  EXPECT_FALSE(test::fileExists(staging + L"offer.exe"));
  EXPECT_FALSE(test::folderExists(staging));
}

TEST(StagedOffersTest, TeardownKeepsAStagingFolderThatStillHoldsUnlistedFiles) {
  test::TempFolder temp;
  const std::wstring staging = temp / L"staging\\";
  ASSERT_TRUE(CreateDirectoryW(staging.c_str(), nullptr));
  test::writeBytes(staging + L"listed.exe", "MZ");
  test::writeBytes(staging + L"other.txt", "x");
  {
    StagedOffers state;
    state.stagingFolder = staging;
    state.tempFiles.push_back(staging + L"listed.exe");
  }
  EXPECT_FALSE(test::fileExists(staging + L"listed.exe"));
  EXPECT_TRUE(test::fileExists(staging + L"other.txt"));
  EXPECT_TRUE(test::folderExists(staging));
}

}  // namespace
