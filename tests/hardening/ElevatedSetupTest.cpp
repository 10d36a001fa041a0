// The setup, which runs with administrator rights, started and driven as a
// user would, against what a normal program of the same user (or bad luck)
// can prepare: a damaged download, an install.log planted in the install
// folder before the install, a drive without room for the install, folder
// texts Windows would change behind the user's back.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane::test;

namespace {

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class ElevatedSetupTest : public WholeSetupTest {
 protected:
  // From Welcome to the install with `folder` typed, answering Yes when the
  // folder exists, until the Offers page.
  void installInto(SetupRun& run, const std::wstring& folder) {
    ASSERT_TRUE(nextTo(run, SetupPage::Folder));
    run.typeInto(IDC_FOLDER_EDIT, folder);
    run.click(IDC_FRAME_NEXT);
    ASSERT_TRUE(waitUntil([&] {
      if (run.currentPage() == SetupPage::Shortcuts) return true;
      for (HWND box : run.messageBoxes()) SetupRun::answer(box, IDYES);
      return false;
    })) << "on "
        << pageName(run.currentPage());
    ASSERT_TRUE(run.settle());
    ASSERT_TRUE(nextTo(run, SetupPage::Offers, 120000));
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
  ASSERT_TRUE(startAtWelcome(intact, L"", damaged));
  EXPECT_TRUE(cancelConfirmed(intact));
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
  writeBytes(folder + L"install.log", "[Install]\r\nPath1=" + ascii(system) +
                                          "\r\nPath2=\\\\tonvane-nowhere\\share\\x.dll\r\nPath3=" + ascii(folder) +
                                          "..\\..\\Windows\\win.ini\r\nPath4=" + ascii(folder) + "kept.dll");

  SetupRun run;
  ASSERT_TRUE(startAtWelcome(run));
  ASSERT_NO_FATAL_FAILURE(installInto(run, folder));
  EXPECT_TRUE(declineOffersAndClose(run));

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
  ASSERT_TRUE(startAtWelcome(run));
  ASSERT_NO_FATAL_FAILURE(installInto(run, typed));
  EXPECT_TRUE(declineOffersAndClose(run));
  EXPECT_EQ(listFolder(parent.path()), std::vector<std::wstring>{L"Tonvane Free"});
  EXPECT_TRUE(fileExists(parent.path() + L"Tonvane Free\\Tonvane.exe"));
  // Removed here, as removeInstallation knows only the default folder.
  removeTree(parent.path() + L"Tonvane Free");
}

// The three values the sentence about a drive without room fills into
// `pattern` ("... drive %s ... needs %s, and %s is free."), in order; none
// when `text` is not that sentence.
std::vector<std::wstring> noRoomFields(const std::wstring& text, const std::wstring& pattern) {
  std::vector<std::wstring> pieces;
  std::size_t from = 0;
  for (std::size_t at = pattern.find(L"%s"); at != std::wstring::npos; at = pattern.find(L"%s", from)) {
    pieces.push_back(pattern.substr(from, at - from));
    from = at + 2;
  }
  pieces.push_back(pattern.substr(from));
  if (pieces.size() != 4 || text.compare(0, pieces[0].size(), pieces[0]) != 0) return {};
  std::vector<std::wstring> fields;
  std::size_t at = pieces[0].size();
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::size_t next = text.find(pieces[i], at);
    if (next == std::wstring::npos) return {};
    fields.push_back(text.substr(at, next - at));
    at = next + pieces[i].size();
  }
  if (at != text.size()) return {};
  return fields;
}

// "16 KB", "1.3 MB", "2.0 GB" in bytes; 0 for anything else.
double shownBytes(const std::wstring& size) {
  wchar_t* unit = nullptr;
  const double number = std::wcstod(size.c_str(), &unit);
  for (const auto& known :
       {std::make_pair(L" KB", 1024.0), std::make_pair(L" MB", 1048576.0), std::make_pair(L" GB", 1073741824.0)})
    if (unit != nullptr && std::wstring(unit) == known.first) return number * known.second;
  return 0;
}

// A drive with less room than the install needs (the harness's small disk,
// filled up to its last 16 KB): refused before anything is written there.
// The wizard says so on Next from the folder page, naming the drive, what
// the install needs and what is free, and stays on the page; a silent
// install writes the same sentence to its log, ends with 112 and removes
// no older release. Both leave the drive's top as it was.
TEST_F(ElevatedSetupTest, TooLittleRoomIsRefusedBeforeAnythingIsWritten) {
  const std::string small = environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring drive = winePathOfUnixPath(small);
  const std::wstring root = drive + L"\\";
  const std::wstring folder = root + L"Apps\\Tonvane Free\\";
  // The small disk is the tests' own: what an earlier one left goes.
  const auto emptyDrive = [&root] {
    for (const std::wstring& name : listFolder(root)) {
      if (folderExists(root + name))
        removeTree(root + name);
      else
        DeleteFileW((root + name).c_str());
    }
  };
  emptyDrive();
  // Less room than the application's program alone takes.
  ASSERT_TRUE(fillDiskLeaving(root + L"filler.bin", 16 * 1024));
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr));
  const std::vector<std::wstring> before = listFolder(root);
  const std::wstring english = L"There is not enough free space on drive %s. The install needs %s, and %s is free.";

  enum class Run { Wizard, Silent };
  for (const Run kind : {Run::Wizard, Run::Silent}) {
    SCOPED_TRACE(kind == Run::Wizard ? "wizard" : "silent");
    std::vector<std::wstring> fields;
    if (kind == Run::Wizard) {
      SetupRun run;
      ASSERT_TRUE(startAtWelcome(run));
      ASSERT_TRUE(nextTo(run, SetupPage::Folder));
      run.typeInto(IDC_FOLDER_EDIT, folder);
      run.click(IDC_FRAME_NEXT);
      HWND box = run.waitForMessageBox(60000);
      ASSERT_NE(box, nullptr) << "on " << pageName(run.currentPage());
      const std::wstring text = SetupRun::messageBoxText(box);
      fields = noRoomFields(text, shown(english));
      EXPECT_EQ(fields.size(), 3u) << testing::PrintToString(text);
      EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup"));
      EXPECT_EQ(GetWindow(box, GW_OWNER), run.frame());
      EXPECT_TRUE(SetupRun::hasButton(box, IDOK));
      EXPECT_FALSE(SetupRun::hasButton(box, IDCANCEL));
      ASSERT_TRUE(SetupRun::answer(box, IDOK));
      ASSERT_TRUE(run.settle());
      EXPECT_EQ(run.currentPage(), SetupPage::Folder);
      EXPECT_TRUE(run.messageBoxes().empty());
      EXPECT_TRUE(cancelConfirmed(run));
    } else {
      TempFolder temp;
      const std::wstring log = temp / L"setup.log";
      SetupRun run;
      ASSERT_TRUE(run.start(L"/S /LOG=\"" + log + L"\" /D=" + folder));
      EXPECT_EQ(run.waitForExit(180000), 112u);
      const std::string text = readBytes(log);
      const std::size_t line = text.find(ascii(english.substr(0, english.find(L"%s"))));
      ASSERT_NE(line, std::string::npos) << text;
      const std::string sentence = text.substr(line, text.find("\r\n", line) - line);
      fields = noRoomFields(std::wstring(sentence.begin(), sentence.end()), english);
      EXPECT_EQ(fields.size(), 3u) << sentence;
      EXPECT_NE(text.find("Exit code 112\r\n"), std::string::npos) << text;
      EXPECT_EQ(text.find("Older release"), std::string::npos) << text;
    }
    if (fields.size() == 3) {
      EXPECT_EQ(fields[0], drive);
      EXPECT_EQ(fields[2], std::to_wstring(free.QuadPart / 1024) + L" KB");
      EXPECT_GT(shownBytes(fields[1]), static_cast<double>(free.QuadPart)) << ascii(fields[1]);
    }
    EXPECT_EQ(listFolder(root), before);
    EXPECT_FALSE(folderExists(folder));
    EXPECT_FALSE(entryExists());
  }
  emptyDrive();
}

}  // namespace
