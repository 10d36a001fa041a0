// The record of a setup run: its fresh state and the choices handed to the
// install engine. The teardown of what the offer worker staged belongs to
// the offers (tests/offers/StagedOffersTest.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>

#include "SetupState.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

TEST(SetupStateTest, AFreshRecordIsOnTheWelcomePageWithNothingChosenOrCreated) {
  SetupState state;
  EXPECT_EQ(state.pageIndex, Welcome);
  EXPECT_EQ(state.frameWindow, nullptr);
  EXPECT_EQ(state.termsView, nullptr);
  for (const PageSlot& page : state.pages) {
    EXPECT_EQ(page.window, nullptr);
    EXPECT_EQ(page.binding, nullptr);
  }
  EXPECT_EQ(state.offers.offerWorker, nullptr);
  EXPECT_TRUE(state.offers.tempFiles.empty());
  EXPECT_TRUE(state.offers.toolbarInstaller.empty());
  EXPECT_TRUE(state.offers.pluginInstaller.empty());
  EXPECT_TRUE(state.offers.stagingFolder.empty());
  EXPECT_TRUE(state.installFolder.empty());
  const bool flags[] = {state.portable, state.startMenuShortcut, state.desktopShortcut, state.sendToShortcut,
                        state.allUsers, state.installToolbar,    state.installPlugin};
  for (bool flag : flags) EXPECT_FALSE(flag);

  // Even on a heap that held other values before.
  alignas(SetupState) unsigned char storage[sizeof(SetupState)];
  std::memset(storage, 0xA5, sizeof storage);
  auto* placed = new (storage) SetupState;
  EXPECT_FALSE(placed->portable || placed->startMenuShortcut || placed->desktopShortcut || placed->sendToShortcut ||
               placed->allUsers || placed->installToolbar || placed->installPlugin);
  EXPECT_EQ(placed->pageIndex, 0);
  EXPECT_EQ(placed->offers.offerWorker, nullptr);
  placed->~SetupState();
}

TEST(SetupStateTest, TheInstallChoicesAreTheUsersOwn) {
  SetupState state;
  state.installFolder = L"D:\\Apps\\Tonvane Free";
  state.portable = true;
  state.desktopShortcut = true;
  state.installToolbar = true;
  InstallChoices choices = state.installChoices();
  EXPECT_EQ(choices.installFolder, L"D:\\Apps\\Tonvane Free");
  EXPECT_TRUE(choices.portable);
  EXPECT_FALSE(choices.allUsers);
  EXPECT_FALSE(choices.startMenuShortcut);
  EXPECT_TRUE(choices.desktopShortcut);
  EXPECT_FALSE(choices.sendToShortcut);

  state.portable = false;
  state.desktopShortcut = false;
  state.allUsers = true;
  state.startMenuShortcut = true;
  state.sendToShortcut = true;
  choices = state.installChoices();
  EXPECT_FALSE(choices.portable);
  EXPECT_TRUE(choices.allUsers);
  EXPECT_TRUE(choices.startMenuShortcut);
  EXPECT_FALSE(choices.desktopShortcut);
  EXPECT_TRUE(choices.sendToShortcut);
}

// The record holds the run's offers: its end is theirs, worker and staged
// files included.
void stageOneFile(void* object, WorkerThread*) {
  auto* offers = static_cast<StagedOffers*>(object);
  Sleep(300);
  ScopedLock hold(offers->lock);
  test::writeBytes(offers->stagingFolder + L"offer.exe", "MZ");
  offers->tempFiles.push_back(offers->stagingFolder + L"offer.exe");
}

TEST(SetupStateTest, TheEndOfTheRecordWaitsForItsOffersAndRemovesWhatTheyStaged) {
  test::TempFolder temp;
  const std::wstring staging = temp / L"staging\\";
  ASSERT_TRUE(CreateDirectoryW(staging.c_str(), nullptr));
  {
    SetupState state;
    state.offers.stagingFolder = staging;
    state.offers.offerWorker.reset(start(new WorkerThread, &state.offers, &stageOneFile, 0));
    ASSERT_EQ(state.offers.offerWorker->startFailed, 0);
  }
  EXPECT_FALSE(test::fileExists(staging + L"offer.exe"));
  EXPECT_FALSE(test::folderExists(staging));
}

}  // namespace
