// The setup program as its user meets it: started as its own process, driven
// by control ids, its message boxes read and answered, and what it left
// behind checked with the system's APIs.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "InstallLog.h"
#include "RegistryKey.h"
#include "SetupDriver.h"
#include "Shortcuts.h"
#include "TestFiles.h"
#include "UninstallRegistration.h"
#include "UrlRecorder.h"
#include "VendorSite.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr const wchar_t* kMutexName = L"TonvaneSetup";

std::wstring shellFolder(int id) {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, id, FALSE)) return L"";
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring programFilesFolder() { return shellFolder(CSIDL_PROGRAM_FILES); }

std::wstring defaultInstallFolder() { return programFilesFolder() + L"Tonvane Free\\"; }

std::wstring uninstallEntryPath() { return std::wstring(kUninstallRoot) + kProductName; }

std::wstring entryValue(const wchar_t* name) {
  RegistryKey key;
  std::wstring value;
  if (key.open(HKEY_LOCAL_MACHINE, uninstallEntryPath().c_str(), KEY_READ) == ERROR_SUCCESS)
    queryStringGrowing(key, name, value);
  return value;
}

// What earlier runs may have left: the install, its entry and its links.
void removeInstallation() {
  removeTree(defaultInstallFolder());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallEntryPath().c_str());
  for (int id : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
    removeTree(shellFolder(id) + L"Tonvane Free\\");
  for (int id : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO})
    DeleteFileW((shellFolder(id) + L"Tonvane Free.lnk").c_str());
}

class SetupRunTest : public ::testing::Test {
 protected:
  void SetUp() override { removeInstallation(); }
  void TearDown() override { removeInstallation(); }
};

// The typical run: defaults everywhere, No to the offers, Close with the
// press-release box ticked.
TEST_F(SetupRunTest, TypicalRunInstallsAndEndsWithCloseAndThePressReleasePage) {
  TempFolder folder;
  const std::wstring record = folder / L"opened.txt";
  HttpHandlerSwap swap(urlRecorderCommand(record));
  ASSERT_EQ(swap.status(), ERROR_SUCCESS);

  SetupRun run;
  ASSERT_TRUE(run.start());
  ASSERT_NE(run.waitForFrame(), nullptr) << "exit code " << run.exitCode();
  ASSERT_TRUE(run.waitForPage(SetupPage::Welcome));
  EXPECT_TRUE(mutexExists(kMutexName));

  run.click(SetupControl::kNext);
  ASSERT_TRUE(run.waitForPage(SetupPage::Folder));
  EXPECT_EQ(windowText(run.control(SetupControl::kFolderEdit)), defaultInstallFolder());
  EXPECT_TRUE(run.isChecked(SetupControl::kAllUsers));
  EXPECT_FALSE(run.isChecked(SetupControl::kPortable));

  run.click(SetupControl::kNext);
  ASSERT_TRUE(run.waitForPage(SetupPage::Shortcuts));
  EXPECT_TRUE(run.isChecked(SetupControl::kStartMenu));
  EXPECT_TRUE(run.isChecked(SetupControl::kDesktop));
  EXPECT_FALSE(run.isChecked(SetupControl::kSendTo));

  run.click(SetupControl::kNext);
  ASSERT_TRUE(run.waitForPage(SetupPage::Offers, 120000));
  run.click(SetupControl::kNo);
  ASSERT_TRUE(run.waitForPage(SetupPage::Complete));
  EXPECT_TRUE(run.isChecked(SetupControl::kPressRelease));
  run.click(SetupControl::kClose);
  EXPECT_EQ(run.waitForExit(), 1u);
  EXPECT_FALSE(mutexExists(kMutexName));

  const std::wstring installed = defaultInstallFolder();
  EXPECT_TRUE(fileExists(installed + L"Tonvane.exe"));
  EXPECT_TRUE(fileExists(installed + L"install.log"));
  EXPECT_TRUE(fileExists(installed + L"TonvaneUninstaller.exe"));
  EXPECT_EQ(entryValue(L"DisplayName"), L"Tonvane Free");
  EXPECT_EQ(entryValue(L"DisplayVersion"), L"5.2.1.1");
  EXPECT_TRUE(fileExists(shellFolder(CSIDL_COMMON_PROGRAMS) + L"Tonvane Free\\Tonvane Free.lnk"));
  EXPECT_TRUE(fileExists(shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"Tonvane Free.lnk"));
  EXPECT_FALSE(fileExists(shellFolder(CSIDL_SENDTO) + L"Tonvane Free.lnk"));

  const std::wstring expected = vendorSite() + L"press_release.php?file_name=tonvanesetup.exe";
  EXPECT_EQ(waitForFile(record, 30000), std::string(expected.begin(), expected.end()));
}

}  // namespace
