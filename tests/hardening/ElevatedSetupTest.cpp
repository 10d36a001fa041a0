// The setup, which runs with administrator rights, started and driven as a
// user would, against what a normal program of the same user (or bad luck)
// can prepare: a damaged download, an install.log planted in the install
// folder before the install, a full disk, folder texts Windows would change
// behind the user's back.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane::test;

namespace {

bool japaneseSystem() { return environment("TONVANE_EXPECT_ACP") == "932"; }

std::wstring shown(const std::wstring& english) { return japaneseSystem() ? japaneseFor(english) : english; }

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The bytes of one of the setup's resources as the file holds them.
std::string setupResource(const wchar_t* type, unsigned id) {
  HMODULE setup = LoadLibraryExW(setupProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (setup == nullptr) return std::string();
  std::string bytes;
  if (HRSRC found = FindResourceW(setup, MAKEINTRESOURCEW(id), type)) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(setup, found)));
    if (data != nullptr) bytes.assign(data, SizeofResource(setup, found));
  }
  FreeLibrary(setup);
  return bytes;
}

class ElevatedSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { removeInstallation(); }
  void TearDown() override { removeInstallation(); }

  void start(SetupRun& run, const std::wstring& program = L"") {
    ASSERT_TRUE(run.start(L"", program));
    ASSERT_NE(run.waitForFrame(), nullptr) << "setup ended with " << run.exitCode();
    ASSERT_TRUE(run.waitForPage(SetupPage::Welcome));
  }

  void next(SetupRun& run, SetupPage expected, DWORD milliseconds = 60000) {
    ASSERT_TRUE(nextTo(run, expected, milliseconds));
  }

  // From Welcome to the install with `folder` typed, answering Yes when the
  // folder exists; the Progress page has been left for `after`.
  void installInto(SetupRun& run, const std::wstring& folder, SetupPage after) {
    next(run, SetupPage::Folder);
    run.typeInto(IDC_FOLDER_EDIT, folder);
    run.click(IDC_FRAME_NEXT);
    ASSERT_TRUE(waitUntil([&] {
      if (run.currentPage() == SetupPage::Shortcuts) return true;
      for (HWND box : run.messageBoxes()) SetupRun::answer(box, IDYES);
      return false;
    })) << "on " << pageName(run.currentPage());
    ASSERT_TRUE(run.settle());
    run.click(IDC_FRAME_NEXT);
    if (after != SetupPage::Progress) {
      ASSERT_TRUE(run.waitForPage(after, 120000)) << "on " << pageName(run.currentPage());
    }
  }

  void finish(SetupRun& run) {
    EXPECT_TRUE(declineOffersAndClose(run));
  }
};

// One byte changed in the application archive of a copy of the setup: the
// copy says its file is damaged before any page, installs nothing, ends 1.
TEST_F(ElevatedSetupTest, ADamagedSetupFileSaysSoAndInstallsNothing) {
  const std::string payload = setupResource(L"ZIP", IDR_APPLICATION_ARCHIVE);
  ASSERT_GT(payload.size(), 1000u);
  std::string image = readBytes(setupProgramPath());
  const std::size_t at = image.find(payload);
  ASSERT_NE(at, std::string::npos);
  image[at + payload.size() / 2] ^= 0x20;
  TempFolder temp;
  const std::wstring damaged = temp / L"TonvaneSetup.exe";
  writeBytes(damaged, image);

  SetupRun run;
  ASSERT_TRUE(run.start(L"", damaged));
  HWND box = run.waitForMessageBox();
  ASSERT_NE(box, nullptr) << "exit code " << run.exitCode();
  EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"The setup file is damaged. Please download it again."));
  EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup"));
  EXPECT_TRUE(run.visibleWindows().size() == 1u) << "a page beside the message";
  SetupRun::answer(box, IDOK);
  EXPECT_EQ(run.waitForExit(), 1u);
  EXPECT_FALSE(folderExists(defaultInstallFolder()));
  EXPECT_FALSE(mutexExists(L"TonvaneSetup"));

  // The intact copy starts as usual: the check is not what refused.
  writeBytes(damaged, readBytes(setupProgramPath()));
  SetupRun intact;
  start(intact, damaged);
  intact.click(IDC_FRAME_CANCEL);
  HWND question = intact.waitForMessageBox();
  ASSERT_NE(question, nullptr);
  SetupRun::answer(question, IDOK);
  EXPECT_EQ(intact.waitForExit(), 2u);
}

// An install.log a normal program put in the folder before the install,
// naming files elsewhere: the new log keeps none of them, only what lies in
// the install folder.
TEST_F(ElevatedSetupTest, APlantedLogCarriesNothingOutsideTheFolderIntoTheNewOne) {
  const std::wstring folder = defaultInstallFolder();
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring system = std::wstring(windows) + L"\\win.ini";
  ASSERT_TRUE(fileExists(system));
  writeBytes(folder + L"kept.dll", "an earlier file");
  writeBytes(folder + L"install.log",
             "[Install]\r\nPath1=" + ascii(system) + "\r\nPath2=\\\\tonvane-nowhere\\share\\x.dll\r\nPath3=" +
                 ascii(folder) + "..\\..\\Windows\\win.ini\r\nPath4=" + ascii(folder) + "kept.dll");

  SetupRun run;
  start(run);
  installInto(run, folder, SetupPage::Offers);
  finish(run);

  const std::string log = readBytes(folder + L"install.log");
  EXPECT_EQ(log.find("win.ini"), std::string::npos) << log;
  EXPECT_EQ(log.find("tonvane-nowhere"), std::string::npos) << log;
  EXPECT_EQ(log.rfind("[Install]\r\nPath1=" + ascii(folder) + "kept.dll\r\n", 0), 0u) << log;
  EXPECT_TRUE(fileExists(system));
}

// Typed with a trailing blank and forward slashes: one folder, the one
// Windows would have used, and the uninstall entry names it.
TEST_F(ElevatedSetupTest, ATypedFolderIsCleanedBeforeItIsUsed) {
  TempFolder parent;
  std::wstring typed = parent.path() + L"Tonvane Free ";
  std::replace(typed.begin(), typed.end(), L'\\', L'/');
  SetupRun run;
  start(run);
  installInto(run, typed, SetupPage::Offers);
  finish(run);
  EXPECT_EQ(listFolder(parent.path()), std::vector<std::wstring>{L"Tonvane Free"});
  EXPECT_TRUE(fileExists(parent.path() + L"Tonvane Free\\Tonvane.exe"));
  // Removed here, as removeInstallation knows only the default folder.
  removeTree(parent.path() + L"Tonvane Free");
}

// The disk fills up in the middle of the application's files: the install
// reports "Failed to install.", ends with 2, and the file an earlier install
// left in the folder is still whole.
TEST_F(ElevatedSetupTest, AFullDiskFailsTheInstallAndKeepsTheOldFilesWhole) {
  const std::string small = environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring folder = winePathOfUnixPath(small) + L"\\Tonvane Free\\";
  removeTree(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  writeBytes(folder + L"Tonvane.exe", "the earlier release's program");
  // Leave less room than the application's program alone takes.
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, 24u * 1024);
  writeBytes(folder + L"filler.bin", std::string(static_cast<std::size_t>(free.QuadPart) - 16 * 1024, 'f'));

  SetupRun run;
  start(run);
  installInto(run, folder, SetupPage::Progress);
  HWND box = run.waitForMessageBox(120000);
  ASSERT_NE(box, nullptr) << "on " << pageName(run.currentPage());
  EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"Failed to install."));
  SetupRun::answer(box, IDOK);
  EXPECT_EQ(run.waitForExit(), 2u);
  EXPECT_EQ(readBytes(folder + L"Tonvane.exe"), "the earlier release's program");
  for (const std::wstring& name : listFolder(folder))
    EXPECT_EQ(name.find(L".tmp"), std::wstring::npos) << "left behind: " << testing::PrintToString(name);
  removeTree(folder);
}

}  // namespace
