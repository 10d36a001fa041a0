// The uninstaller as its user meets it: the product installed by the real
// setup, driven through its pages, then the uninstall command started
// exactly as the uninstall entry holds it, its question and summary read and
// answered, and what is left checked with the system's APIs. Runs on an
// English and on a Japanese system.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PathText.h"
#include "PrivateFolder.h"
#include "RegistryValues.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

std::wstring temporaryFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  return temp;
}

std::vector<std::wstring> sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring programsGroup() { return shellFolder(CSIDL_COMMON_PROGRAMS) + L"Tonvane Free\\"; }
std::wstring desktopLink() { return shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"Tonvane Free.lnk"; }
std::wstring sendToLink() { return shellFolder(CSIDL_SENDTO) + L"Tonvane Free.lnk"; }

class UninstallRunTest : public WholeSetupTest {
 protected:
  void SetUp() override {
    WholeSetupTest::SetUp();
    tempBefore_ = sorted(listFolder(temporaryFolder()));
  }

  // The whole wizard with its defaults, Send To as asked, No to the offers
  // and the press-release box unticked.
  void install(bool sendTo = false) {
    SetupRun run;
    ASSERT_TRUE(startAtWelcome(run));
    ASSERT_TRUE(nextTo(run, SetupPage::Folder));
    if (folderExists(defaultInstallFolder())) {
      ASSERT_TRUE(nextOverExistingFolder(run));
    } else {
      ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
    }
    if (sendTo) {
      ASSERT_TRUE(clickBox(run, IDC_SHORTCUTS_SEND_TO, true));
    }
    ASSERT_TRUE(nextTo(run, SetupPage::Offers, 120000));
    ASSERT_TRUE(declineOffersAndClose(run));
    ASSERT_TRUE(fileExists(defaultInstallFolder() + L"TonvaneUninstaller.exe"));
  }

  // The uninstall command as the entry holds it, started as the system's
  // list of programs starts it; its question is answered with `answer`.
  void startUninstall(SetupRun& run, int answer, const std::wstring& valueName = L"UninstallString") {
    const std::wstring command = entryValue(valueName.c_str());
    ASSERT_FALSE(command.empty());
    ASSERT_TRUE(run.startCommandLine(command)) << "could not start " << testing::PrintToString(command);
    if (valueName != L"UninstallString") return;
    HWND question = run.waitForMessageBox();
    ASSERT_NE(question, nullptr) << "no question; exit code " << run.exitCode();
    EXPECT_EQ(SetupRun::messageBoxCaption(question), shownByUninstaller(L"Tonvane Free Uninstall"));
    EXPECT_EQ(SetupRun::messageBoxText(question),
              shownByUninstaller(L"Do you want to remove Tonvane Free and all of its components?"));
    EXPECT_TRUE(SetupRun::hasButton(question, IDYES));
    EXPECT_TRUE(SetupRun::hasButton(question, IDNO));
    ASSERT_TRUE(SetupRun::answer(question, answer));
  }

  // The summary the uninstaller ends with; answered with OK.
  std::wstring summary(SetupRun& run) {
    HWND box = run.waitForMessageBox(60000);
    if (box == nullptr) return L"(no summary; exit code " + std::to_wstring(run.exitCode()) + L")";
    const std::wstring text = SetupRun::messageBoxText(box);
    EXPECT_EQ(SetupRun::messageBoxCaption(box), shownByUninstaller(L"Tonvane Free Uninstall"));
    SetupRun::answer(box, IDOK);
    return text;
  }

  // The copy that removes the uninstaller and the folder runs after the
  // uninstaller has ended: wait for what it leaves.
  void expectFolderGone() {
    EXPECT_TRUE(waitUntil([] { return !folderExists(defaultInstallFolder()); }, 30000))
        << "left: " << testing::PrintToString(listFolder(defaultInstallFolder()));
  }

  void expectTemporaryFolderAsBefore() {
    EXPECT_TRUE(waitUntil([&] { return sorted(listFolder(temporaryFolder())) == tempBefore_; }, 30000))
        << "now: " << testing::PrintToString(listFolder(temporaryFolder()));
  }

  // The copy that removes the uninstaller's file and the folder runs on
  // after the uninstaller has ended, from its private folder under the
  // system's temporary folder (`before`: that folder's names before the
  // uninstall). While it tries to remove the install folder it holds it for
  // deletion, and Wine opens a folder to list it without sharing deletion:
  // a listing meanwhile fails and reads as empty. So the install folder is
  // read once the copy has ended, which its own file, deleted as its last
  // handle closes, tells. The copy's folder; "" after a failure.
  std::wstring waitForTheCopy(const std::vector<std::wstring>& before) {
    const std::wstring parent = privateFolderParent();
    std::vector<std::wstring> made;
    for (const std::wstring& name : listFolder(parent))
      if (name.rfind(L"TonvaneUninstall-", 0) == 0 && std::find(before.begin(), before.end(), name) == before.end())
        made.push_back(name);
    if (made.size() != 1) {
      ADD_FAILURE() << "the copy's folders: " << testing::PrintToString(made);
      return L"";
    }
    const std::wstring copyFolder = parent + made[0];
    if (!waitUntil([&] { return !fileExists(copyFolder + L"\\TonvaneUninstaller.exe"); }, 30000)) {
      ADD_FAILURE() << "the copy still runs: " << testing::PrintToString(listFolder(copyFolder));
      return L"";
    }
    return copyFolder;
  }

  // The copy's folder: made by this uninstall, empty once the copy has
  // ended, out of ordinary users' reach, and left to the system to remove
  // at the next restart.
  void expectCopyFolderLeftEmptyForRestart(const std::vector<std::wstring>& before) {
    const std::wstring copyFolder = waitForTheCopy(before);
    ASSERT_FALSE(copyFolder.empty());
    EXPECT_TRUE(listFolder(copyFolder).empty()) << "left: " << testing::PrintToString(listFolder(copyFolder));
    EXPECT_EQ(ordinaryUserRights(copyFolder), 0ul);
    EXPECT_NE(lowerCase(pendingRemovals()).find(lowerCase(L"\\??\\" + copyFolder)), std::wstring::npos)
        << "not to be removed at restart: " << testing::PrintToString(copyFolder);
    RemoveDirectoryW(copyFolder.c_str());
  }

  // What the system is to delete or rename at the next restart.
  static std::wstring pendingRemovals() {
    return registryValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                         L"PendingFileRenameOperations")
        .text();
  }

  std::vector<std::wstring> tempBefore_;
};

// Install with the defaults, then the uninstall entry's command, confirmed:
// files, folder, the three Start menu links, the desktop link and the entry
// are gone, nothing stays in the user's temporary folder, and the copy's
// private folder is left empty for the system to remove.
TEST_F(UninstallRunTest, TheEntrysCommandRemovesTheWholeInstall) {
  install();
  const std::wstring folder = defaultInstallFolder();
  const std::vector<std::wstring> installed = installLogPaths(folder + L"install.log");
  ASSERT_FALSE(installed.empty());
  EXPECT_EQ(entryValue(L"QuietUninstallString"), entryValue(L"UninstallString") + L" /S");
  EXPECT_EQ(entryNumber(L"NoModify"), 1u);
  EXPECT_EQ(entryNumber(L"NoRepair"), 1u);
  // The sum of the installed files, the uninstaller and the log, in KB.
  std::uint64_t bytes = 0;
  for (const std::wstring& path : installed) bytes += readBytes(path).size();
  bytes += readBytes(folder + L"TonvaneUninstaller.exe").size() + readBytes(folder + L"install.log").size();
  EXPECT_EQ(entryNumber(L"EstimatedSize"), static_cast<DWORD>((bytes + 1023) / 1024));
  ASSERT_EQ(listFolder(programsGroup()).size(), 3u);
  ASSERT_TRUE(fileExists(desktopLink()));
  const std::vector<std::wstring> systemTempBefore = listFolder(privateFolderParent());

  SetupRun run;
  startUninstall(run, IDYES);
  EXPECT_EQ(summary(run), shownByUninstaller(L"Tonvane Free was removed from your computer."));
  EXPECT_EQ(run.waitForExit(), 0u);

  expectFolderGone();
  for (const std::wstring& path : installed) EXPECT_FALSE(fileExists(path)) << testing::PrintToString(path);
  EXPECT_FALSE(folderExists(programsGroup()));
  EXPECT_FALSE(fileExists(desktopLink()));
  EXPECT_FALSE(entryExists());
  expectTemporaryFolderAsBefore();
  expectCopyFolderLeftEmptyForRestart(systemTempBefore);
}

// Over an earlier install whose log lists a file this release does not
// carry, with Send To chosen and a file of the user's in a folder of the
// install: both logs' files go, the Send To link goes, the user's file and
// its folders stay; a logged path outside the folder is left alone and
// named in the summary.
TEST_F(UninstallRunTest, RemovesBothLogsFilesAndKeepsTheUsersAndWhatLiesOutside) {
  const std::wstring folder = defaultInstallFolder();
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  writeBytes(folder + L"Earlier.dll", "earlier release");
  writeBytes(folder + L"install.log",
             "[Install]\r\nPath1=" + std::string(folder.begin(), folder.end()) + "Earlier.dll");
  install(true);
  ASSERT_TRUE(fileExists(sendToLink()));
  const std::vector<std::wstring> listed = installLogPaths(folder + L"install.log");
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.front(), folder + L"Earlier.dll");

  ASSERT_TRUE(folderExists(folder + L"resource"));
  writeBytes(folder + L"resource\\my-picture.png", "the user's own");
  TempFolder outside;
  const std::wstring outsideFile = outside / L"keep.txt";
  writeBytes(outsideFile, "not the product's");
  tempBefore_ = sorted(listFolder(temporaryFolder()));
  {
    // A log edited after the install names a file elsewhere.
    std::string log = readBytes(folder + L"install.log");
    log += "\r\nPath999=" + std::string(outsideFile.begin(), outsideFile.end());
    writeBytes(folder + L"install.log", log);
  }

  const std::vector<std::wstring> systemTempBefore = listFolder(privateFolderParent());
  SetupRun run;
  startUninstall(run, IDYES);
  const std::wstring text = summary(run);
  EXPECT_NE(text.find(shownByUninstaller(L"Tonvane Free was removed from your computer.")), std::wstring::npos)
      << testing::PrintToString(text);
  EXPECT_NE(text.find(outsideFile), std::wstring::npos) << testing::PrintToString(text);
  EXPECT_EQ(run.waitForExit(), 0u);

  ASSERT_FALSE(waitForTheCopy(systemTempBefore).empty());
  EXPECT_FALSE(fileExists(folder + L"TonvaneUninstaller.exe"));
  for (const std::wstring& path : listed) {
    if (path != outsideFile) {
      EXPECT_FALSE(fileExists(path)) << testing::PrintToString(path);
    }
  }
  EXPECT_EQ(readBytes(folder + L"resource\\my-picture.png"), "the user's own");
  EXPECT_EQ(sorted(listFolder(folder)), std::vector<std::wstring>{L"resource"});
  EXPECT_EQ(listFolder(folder + L"resource"), std::vector<std::wstring>{L"my-picture.png"});
  EXPECT_EQ(readBytes(outsideFile), "not the product's");
  EXPECT_FALSE(fileExists(sendToLink()));
  EXPECT_FALSE(folderExists(programsGroup()));
  EXPECT_FALSE(entryExists());
  expectTemporaryFolderAsBefore();
}

// No removes nothing (exit 1), and so does a run without install.log, which
// says so (exit 2). A file held open is reported, stays and stays listed
// with the entry and the uninstaller (exit 2); once it is closed, the quiet
// command removes everything without showing any window (exit 0).
TEST_F(UninstallRunTest, DecliningOrLosingTheLogKeepsAllAndAFileInUseIsLeftForASecondRun) {
  install();
  const std::wstring folder = defaultInstallFolder();
  const std::vector<std::wstring> installed = installLogPaths(folder + L"install.log");
  const std::wstring uninstaller = folder + L"TonvaneUninstaller.exe";
  {
    // Without /Uninstall it only says how it is used, in the language the
    // option asks for, whatever the system's.
    SetupRun usage;
    const bool japanese = !japaneseSystem();
    ASSERT_TRUE(usage.start(japanese ? L"/lang:jpn" : L"/lang:eng", uninstaller));
    HWND box = usage.waitForMessageBox();
    ASSERT_NE(box, nullptr);
    const std::wstring english =
        L"This program removes Tonvane Free from your computer. Start it from the Start menu "
        L"(Uninstall) or from the list of installed programs.";
    EXPECT_EQ(SetupRun::messageBoxText(box).rfind(shownByUninstaller(english, japanese), 0), 0u)
        << testing::PrintToString(SetupRun::messageBoxText(box));
    EXPECT_NE(SetupRun::messageBoxText(box).find(L"/Uninstall"), std::wstring::npos);
    SetupRun::answer(box, IDOK);
    EXPECT_EQ(usage.waitForExit(), 1u);
  }
  {
    SetupRun declined;
    startUninstall(declined, IDNO);
    EXPECT_EQ(declined.waitForExit(), 1u);
  }
  {
    const std::wstring log = folder + L"install.log", aside = folder + L"install.log.aside";
    ASSERT_TRUE(MoveFileW(log.c_str(), aside.c_str()));
    SetupRun withoutLog;
    startUninstall(withoutLog, IDYES);
    EXPECT_EQ(
        summary(withoutLog),
        shownByUninstaller(L"Tonvane Free was not removed: the list of its files (install.log) is missing or cannot be "
                           L"read."));
    EXPECT_EQ(withoutLog.waitForExit(), 2u);
    ASSERT_TRUE(MoveFileW(aside.c_str(), log.c_str()));
  }
  EXPECT_EQ(installLogPaths(folder + L"install.log"), installed);
  for (const std::wstring& path : installed) EXPECT_TRUE(fileExists(path)) << testing::PrintToString(path);
  EXPECT_TRUE(entryExists());
  EXPECT_EQ(listFolder(programsGroup()).size(), 3u);
  EXPECT_TRUE(fileExists(desktopLink()));

  const std::wstring busy = folder + L"Tonvane.exe";
  HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  {
    SetupRun run;
    startUninstall(run, IDYES);
    // A second copy started meanwhile is turned away at once.
    SetupRun second;
    ASSERT_TRUE(second.startCommandLine(entryValue(L"UninstallString")));
    EXPECT_EQ(second.waitForExit(30000), 1u);
    EXPECT_TRUE(second.messageBoxes().empty());
    const std::wstring text = summary(run);
    EXPECT_NE(text.find(shownByUninstaller(L"Tonvane Free could not be removed completely.")), std::wstring::npos)
        << testing::PrintToString(text);
    EXPECT_NE(text.find(busy), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_EQ(run.waitForExit(), 2u);
  }
  EXPECT_TRUE(fileExists(busy));
  EXPECT_EQ(installLogPaths(folder + L"install.log"), std::vector<std::wstring>{busy});
  EXPECT_TRUE(fileExists(folder + L"TonvaneUninstaller.exe"));
  EXPECT_TRUE(entryExists());
  for (const std::wstring& path : installed) {
    if (path != busy) {
      EXPECT_FALSE(fileExists(path)) << testing::PrintToString(path);
    }
  }
  // What leads to a second run stays; the rest of the links go.
  EXPECT_EQ(listFolder(programsGroup()).size(), 1u);
  EXPECT_FALSE(fileExists(desktopLink()));
  CloseHandle(held);

  SetupRun quiet;
  startUninstall(quiet, IDYES, L"QuietUninstallString");
  bool windowSeen = false;
  for (int polls = 0; polls < 6000 && quiet.exitCode() == STILL_ACTIVE; ++polls) {
    if (!quiet.visibleWindows().empty()) windowSeen = true;
    Sleep(10);
  }
  EXPECT_FALSE(windowSeen);
  EXPECT_EQ(quiet.waitForExit(), 0u);
  expectFolderGone();
  EXPECT_FALSE(folderExists(programsGroup()));
  EXPECT_FALSE(entryExists());
  expectTemporaryFolderAsBefore();
}

}  // namespace
