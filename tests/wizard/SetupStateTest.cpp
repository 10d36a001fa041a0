// The record of a setup run: its fresh state, the choices handed to the
// install engine, and the teardown of what the offer worker staged.
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
  EXPECT_EQ(state.offerWorker, nullptr);
  EXPECT_TRUE(state.tempFiles.empty());
  EXPECT_TRUE(state.toolbarInstaller.empty());
  EXPECT_TRUE(state.pluginInstaller.empty());
  EXPECT_TRUE(state.stagingFolder.empty());
  EXPECT_TRUE(state.installFolder.empty());
  const bool flags[] = {state.portable,       state.startMenuShortcut, state.desktopShortcut,
                        state.sendToShortcut, state.allUsers,          state.installToolbar,
                        state.installPlugin};
  for (bool flag : flags) EXPECT_FALSE(flag);

  // Even on a heap that held other values before.
  alignas(SetupState) unsigned char storage[sizeof(SetupState)];
  std::memset(storage, 0xA5, sizeof storage);
  auto* placed = new (storage) SetupState;
  EXPECT_FALSE(placed->portable || placed->startMenuShortcut || placed->desktopShortcut ||
               placed->sendToShortcut || placed->allUsers || placed->installToolbar ||
               placed->installPlugin);
  EXPECT_EQ(placed->pageIndex, 0);
  EXPECT_EQ(placed->offerWorker, nullptr);
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


// Where stageLate stages; set before its worker starts.
std::wstring lateStagingFolder;

// Stages like the offer worker, but late: it takes the lock only after the
// record's owner may already have started to tear it down.
void stageLate(void* object, WorkerThread*) {
  auto* state = static_cast<SetupState*>(object);
  Sleep(300);
  ScopedLock hold(state->lock);
  const std::wstring folder = lateStagingFolder;
  CreateDirectoryW(folder.c_str(), nullptr);
  state->stagingFolder = folder;
  const std::wstring file = folder + L"offer.exe";
  test::writeBytes(file, "MZ");
  state->tempFiles.push_back(file);
}

TEST(SetupStateTest, TeardownWaitsForTheWorkerThenDeletesWhatItStaged) {
  test::TempFolder temp;
  const std::wstring staging = temp / L"staging\\";
  {
    lateStagingFolder = staging;
    SetupState state;
    state.offerWorker = start(new WorkerThread, &state, &stageLate, 0);
    ASSERT_EQ(state.offerWorker->startFailed, 0);
    EXPECT_FALSE(test::folderExists(staging));  // not staged yet
  }
  EXPECT_FALSE(test::fileExists(staging + L"offer.exe"));
  EXPECT_FALSE(test::folderExists(staging));
}

TEST(SetupStateTest, TeardownKeepsAStagingFolderThatStillHoldsUnlistedFiles) {
  test::TempFolder temp;
  const std::wstring staging = temp / L"staging\\";
  ASSERT_TRUE(CreateDirectoryW(staging.c_str(), nullptr));
  test::writeBytes(staging + L"listed.exe", "MZ");
  test::writeBytes(staging + L"other.txt", "x");
  {
    SetupState state;
    state.stagingFolder = staging;
    state.tempFiles.push_back(staging + L"listed.exe");
  }
  EXPECT_FALSE(test::fileExists(staging + L"listed.exe"));
  EXPECT_TRUE(test::fileExists(staging + L"other.txt"));
  EXPECT_TRUE(test::folderExists(staging));
}

}  // namespace
