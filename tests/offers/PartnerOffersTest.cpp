// The partner offers: presence through the partners' own registry keys,
// staging into a private folder, launching only what the user accepted,
// and the cleanup when the wizard closes, also in the middle of staging.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PartnerOffers.h"
#include "ScopedEnvironment.h"
#include "SetupLog.h"
#include "TestFiles.h"
#include "WorkerThread.h"

using namespace tonvane;

namespace {

// --- Presence -------------------------------------------------------------

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// "Yahoo!" and the katakana for toolbar (tsu, long vowel, ru, ba, long vowel).
const std::wstring kToolbar = std::wstring(kUninstall) + L"Yahoo!\x30C4\x30FC\x30EB\x30D0\x30FC";
const std::wstring kToolbarJ = std::wstring(kUninstall) + L"Yahoo!J\x30C4\x30FC\x30EB\x30D0\x30FC";
const wchar_t kPluginA[] = L"CLSID\\{B83FC273-3522-4CC6-92EC-75CC86678DA4}";
const wchar_t kPluginB[] = L"CLSID\\{2ACECADE-0BC7-4c6f-95CF-A221CC161B52}";

void createKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
}

// An empty name sets the key's default value.
void setText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS);
}

// The partners' keys exist only while a test puts them there.
class PartnerPresence : public testing::Test {
 protected:
  void SetUp() override { removeAll(); }
  void TearDown() override { removeAll(); }
  static void removeAll() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kToolbar.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kToolbarJ.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kPluginA);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kPluginB);
  }
};

TEST_F(PartnerPresence, TheToolbarIsPresentWhenEitherOfItsUninstallKeysExists) {
  EXPECT_FALSE(detectToolbar());
  EXPECT_FALSE(detectPlugin());  // the two tests are independent

  createKey(HKEY_LOCAL_MACHINE, kToolbarJ);
  EXPECT_TRUE(detectToolbar());
  EXPECT_FALSE(detectPlugin());

  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kToolbarJ.c_str());
  EXPECT_FALSE(detectToolbar());
  createKey(HKEY_LOCAL_MACHINE, kToolbar);
  EXPECT_TRUE(detectToolbar());

  createKey(HKEY_LOCAL_MACHINE, kToolbarJ);
  EXPECT_TRUE(detectToolbar());

  // A key of another product with a similar name is not the toolbar.
  removeAll();
  createKey(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"Yahoo!");
  EXPECT_FALSE(detectToolbar());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstall) + L"Yahoo!").c_str());
}

TEST_F(PartnerPresence, ThePlugInCountsOnlyThroughAClassKeyWithADefaultValue) {
  // Keys without a default value, one of them with a named value: absent.
  createKey(HKEY_CLASSES_ROOT, kPluginA);
  setText(HKEY_CLASSES_ROOT, kPluginB, L"InprocServer32", L"jword.dll");
  EXPECT_FALSE(detectPlugin());
  EXPECT_FALSE(detectToolbar());

  // Either key with a default value is enough.
  setText(HKEY_CLASSES_ROOT, kPluginB, L"", L"JWord plug-in");
  EXPECT_TRUE(detectPlugin());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kPluginB);
  EXPECT_FALSE(detectPlugin());
  setText(HKEY_CLASSES_ROOT, kPluginA, L"", L"JWord plug-in");
  EXPECT_TRUE(detectPlugin());

  // A default value too long for the reader counts as absent.
  setText(HKEY_CLASSES_ROOT, kPluginA, L"", std::wstring(400, L'j'));
  EXPECT_FALSE(detectPlugin());
}

// --- findFirstExe ---------------------------------------------------------

TEST(FindFirstExe, TakesTheFirstProgramInAnyLetterCase) {
  EXPECT_EQ(findFirstExe({L"C:\\s\\readme.txt", L"C:\\s\\Setup.EXE", L"C:\\s\\other.exe"}), L"C:\\s\\Setup.EXE");
  EXPECT_EQ(findFirstExe({L"C:\\s\\a.exe", L"C:\\s\\b.exe"}), L"C:\\s\\a.exe");
  // Names that only look like programs.
  EXPECT_EQ(findFirstExe({L"C:\\s\\setup.exe.txt", L"C:\\s\\exe", L"C:\\s.exe\\notes", L"C:\\s\\setup.ex",
                          L"C:\\s\\setup.exex"}),
            L"");
  EXPECT_EQ(findFirstExe({}), L"");
  // An empty entry would stand for this program itself.
  EXPECT_EQ(findFirstExe({L"", L"C:\\s\\run.exe"}), L"C:\\s\\run.exe");
}

// --- Staging and launching --------------------------------------------------

const wchar_t kToolbarProgram[] = L"brask7_tolv.exe";
const wchar_t kPluginProgram[] = L"jword2setup_common.exe";

std::wstring standin(const wchar_t* name) {
  return test::winePathOfUnixPath(TONVANE_PARTNER_STANDIN_DIR) + L"\\" + name;
}

// "<parent>TonvaneSetup-NNNNNNNN\": the name a later run knows a killed
// run's folder by.
bool isStagingFolderIn(const std::wstring& folder, const std::wstring& parent) {
  const std::wstring start = parent + L"TonvaneSetup-";
  if (folder.size() != start.size() + 9 || folder.compare(0, start.size(), start) != 0 || folder.back() != L'\\')
    return false;
  return folder.find_first_not_of(L"0123456789", start.size()) == folder.size() - 1;
}

// The stand-ins log UTF-8; the paths here are plain ASCII.
std::string ascii(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) {
    if (c >= 0x80) return "(not ASCII)";
    bytes += static_cast<char>(c);
  }
  return bytes;
}

// The user's temporary folder is one of the test's own, to show that
// nothing is staged there.
class OfferStaging : public testing::Test {
 protected:
  test::TempFolder temp_;
  test::ScopedTempPath redirect_{temp_.path()};
};

TEST_F(OfferStaging, StagesBothInstallersInANewPrivateFolderAndListsEveryFile) {
  ASSERT_TRUE(test::listFolder(temp_.path()).empty());
  std::wstring staging;
  {
    StagedOffers state;
    state.startStaging();
    ASSERT_NE(state.offerWorker, nullptr);
    ASSERT_EQ(state.offerWorker->startFailed, 0);
    for (int i = 0; i < 10000 && isRunning(state.offerWorker.get()); ++i) Sleep(1);
    ASSERT_FALSE(isRunning(state.offerWorker.get()));

    ScopedLock hold(state.lock);
    staging = state.stagingFolder;
    EXPECT_TRUE(isStagingFolderIn(staging, privateFolderParent())) << staging;
    // Held by the run: nobody else removes or replaces it meanwhile; a
    // normal user may not even look into it, nor change its parent.
    EXPECT_FALSE(RemoveDirectoryW(staging.c_str()));
    EXPECT_EQ(test::ordinaryUserRights(staging), 0ul);
    EXPECT_EQ(test::ordinaryUserRights(privateFolderParent()) & test::kReplacingRights, 0ul);
    EXPECT_EQ(state.toolbarInstaller, staging + kToolbarProgram);
    EXPECT_EQ(state.pluginInstaller, staging + kPluginProgram);
    EXPECT_EQ(state.tempFiles, (std::vector<std::wstring>{staging + kToolbarProgram, staging + kPluginProgram}));
    // The archives went again once extracted; only the programs stay.
    EXPECT_EQ(test::listFolder(staging), (std::vector<std::wstring>{kToolbarProgram, kPluginProgram}));
    // Unpacked whole: the very programs that were packed.
    const std::string toolbar = test::readBytes(staging + kToolbarProgram);
    EXPECT_GT(toolbar.size(), 1000u);
    EXPECT_EQ(toolbar, test::readBytes(standin(kToolbarProgram)));
    EXPECT_EQ(test::readBytes(staging + kPluginProgram), test::readBytes(standin(kPluginProgram)));
  }
  EXPECT_FALSE(test::fileExists(staging + kToolbarProgram));
  EXPECT_FALSE(test::fileExists(staging + kPluginProgram));
  EXPECT_FALSE(test::folderExists(staging));
  EXPECT_TRUE(test::listFolder(temp_.path()).empty());
}

TEST_F(OfferStaging, AStagingFolderAlreadySetForThisRunIsUsed) {
  const std::wstring ours = temp_ / L"run\\";
  ASSERT_TRUE(CreateDirectoryW(ours.c_str(), nullptr));
  StagedOffers state;
  state.stagingFolder = ours;
  stageOffers(&state, nullptr);
  EXPECT_EQ(state.stagingFolder, ours);
  EXPECT_EQ(state.toolbarInstaller, ours + kToolbarProgram);
  EXPECT_EQ(state.pluginInstaller, ours + kPluginProgram);
  // No second folder was made beside it.
  EXPECT_EQ(test::listFolder(temp_.path()), std::vector<std::wstring>{L"run"});
}

// The partner stand-ins append their command lines to this file.
class OfferLaunch : public OfferStaging {
 protected:
  void SetUp() override {
    // What the setup says of each start, for the message of a check that
    // fails: a stand-in that never logged was refused, not started, or
    // started and failed, and only the setup's log tells which.
    if (!setupLogOpen()) {
      ASSERT_TRUE(openSetupLog(setupLog_));
    }
    stageOffers(&state_, nullptr);
    ASSERT_FALSE(state_.toolbarInstaller.empty());
    ASSERT_FALSE(state_.pluginInstaller.empty());
  }
  void TearDown() override { closeSetupLog(); }
  std::string log() const { return test::readBytes(log_); }
  std::string setupLogText() const { return "The setup's log:\n" + test::readBytes(setupLog_); }
  std::wstring staging() const { return state_.stagingFolder; }

  // What the user ticked on the offers page before Yes.
  void launchTicked(bool toolbar, bool plugin) { launchAcceptedOffers(state_, toolbar, plugin); }

  std::wstring log_ = temp_ / L"partners.log";
  std::wstring setupLog_ = temp_ / L"setup.log";
  test::ScopedEnvironment logSetting_{L"TONVANE_PARTNER_LOG", log_};
  StagedOffers state_;
};

TEST_F(OfferLaunch, YesWithOnlyTheToolbarTickedRunsOnlyTheToolbarSilentlyAndDeletesIt) {
  const std::wstring toolbar = state_.toolbarInstaller;
  const std::wstring plugin = state_.pluginInstaller;
  const std::wstring folderLog = temp_ / L"folder.log";
  {
    test::ScopedEnvironment folderSetting(L"TONVANE_PARTNER_FOLDER_LOG", folderLog);
    launchTicked(true, false);
  }
  EXPECT_EQ(log(), "\"" + ascii(toolbar) + "\" /S\r\n") << setupLogText();
  // Started in the private staging folder, not in a folder of the user's.
  EXPECT_EQ(test::readBytes(folderLog), ascii(staging().substr(0, staging().size() - 1)) + "\r\n");
  EXPECT_FALSE(test::fileExists(toolbar));
  EXPECT_TRUE(test::fileExists(plugin));
  EXPECT_TRUE(state_.toolbarInstaller.empty());
  EXPECT_EQ(state_.pluginInstaller, plugin);
}

TEST_F(OfferLaunch, YesWithOnlyThePlugInTickedPassesThePartnerArguments) {
  const std::wstring toolbar = state_.toolbarInstaller;
  const std::wstring plugin = state_.pluginInstaller;
  launchTicked(false, true);
  EXPECT_EQ(log(), "\"" + ascii(plugin) + "\" /S quorvatine quorvatine__soft\r\n") << setupLogText();
  EXPECT_FALSE(test::fileExists(plugin));
  EXPECT_TRUE(test::fileExists(toolbar));
}

TEST_F(OfferLaunch, BothTickedRunTheToolbarFirstAndNeitherRunsTwice) {
  const std::wstring toolbar = state_.toolbarInstaller;
  const std::wstring plugin = state_.pluginInstaller;
  launchTicked(true, true);
  const std::string expected =
      "\"" + ascii(toolbar) + "\" /S\r\n\"" + ascii(plugin) + "\" /S quorvatine quorvatine__soft\r\n";
  EXPECT_EQ(log(), expected) << setupLogText();
  EXPECT_FALSE(test::fileExists(toolbar));
  EXPECT_FALSE(test::fileExists(plugin));
  // A second Yes finds nothing left to start.
  launchTicked(true, true);
  EXPECT_EQ(log(), expected) << setupLogText();
}

// Another program put in the staged installer's place between staging and
// Yes (here a changed copy of a stand-in, which would log if it ran) is never
// started with the setup's rights, and is deleted like the installer would be.
TEST_F(OfferLaunch, AnInstallerSwappedAfterStagingIsNeverStarted) {
  const std::wstring toolbar = state_.toolbarInstaller;
  // The two stand-ins are one program under two names; a byte at the end
  // makes another file that still runs.
  test::writeBytes(toolbar, test::readBytes(standin(kPluginProgram)) + "x");
  launchTicked(true, true);
  // Only the untouched plug-in ran.
  EXPECT_EQ(log(), "\"" + ascii(staging() + kPluginProgram) + "\" /S quorvatine quorvatine__soft\r\n")
      << setupLogText();
  EXPECT_FALSE(test::fileExists(toolbar));

  // A staged file cut short is refused the same way.
  OfferLaunch::SetUp();
  const std::string bytes = test::readBytes(state_.toolbarInstaller);
  test::writeBytes(state_.toolbarInstaller, bytes.substr(0, bytes.size() / 2));
  const std::string before = log();
  launchTicked(true, false);
  EXPECT_EQ(log(), before) << setupLogText();
}

TEST_F(OfferLaunch, NothingTickedOrNothingStagedStartsNothing) {
  const std::wstring toolbar = state_.toolbarInstaller;
  launchTicked(false, false);
  EXPECT_FALSE(test::fileExists(log_));
  EXPECT_TRUE(test::fileExists(toolbar));
  EXPECT_TRUE(test::fileExists(state_.pluginInstaller));

  // An offer whose staging failed has no installer: ticking it starts nothing.
  state_.toolbarInstaller.clear();
  launchTicked(true, false);
  EXPECT_FALSE(test::fileExists(log_));
  EXPECT_TRUE(test::fileExists(toolbar));
}

// --- Closing while staging runs -----------------------------------------

// What the worker saw at the end of its staging, before any teardown.
struct StagingRecord {
  std::vector<std::wstring> files;
  std::wstring folder;
  int filesPresent = 0;
};
StagingRecord staged;

void stageAndRecord(void* object, WorkerThread* record) {
  stageOffers(object, record);
  auto* state = static_cast<StagedOffers*>(object);
  ScopedLock hold(state->lock);
  staged.files = state->tempFiles;
  staged.folder = state->stagingFolder;
  for (const std::wstring& file : staged.files) staged.filesPresent += test::fileExists(file) ? 1 : 0;
}

DWORD WINAPI destroyState(void* state) {
  delete static_cast<StagedOffers*>(state);
  return 0;
}

TEST_F(OfferStaging, ClosingWhileStagingWaitsForItThenRemovesEverythingStaged) {
  staged = StagingRecord();
  auto* state = new StagedOffers;
  // Staging cannot begin while this test holds the lock.
  state->lock.enter();
  WorkerThread* worker = start(new WorkerThread, state, &stageAndRecord, 0);
  state->offerWorker.reset(worker);
  ASSERT_EQ(worker->startFailed, 0);

  HANDLE closing = CreateThread(nullptr, 0, &destroyState, state, 0, nullptr);
  ASSERT_NE(closing, nullptr);
  // The record stays alive until the worker ends, which cannot happen yet.
  for (int i = 0; i < 5000 && worker->stopRequested.load() == 0; ++i) Sleep(1);
  EXPECT_EQ(worker->stopRequested.load(), 1);
  EXPECT_EQ(WaitForSingleObject(closing, 300), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(test::listFolder(temp_.path()).empty());  // nothing staged yet
  state->lock.leave();

  ASSERT_EQ(WaitForSingleObject(closing, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(closing);
  EXPECT_TRUE(isStagingFolderIn(staged.folder, privateFolderParent())) << staged.folder;
  ASSERT_EQ(staged.files.size(), 2u);
  EXPECT_EQ(staged.filesPresent, 2);
  for (const std::wstring& file : staged.files) EXPECT_FALSE(test::fileExists(file)) << file;
  EXPECT_FALSE(test::folderExists(staged.folder));
  EXPECT_TRUE(test::listFolder(temp_.path()).empty());
}

}  // namespace
