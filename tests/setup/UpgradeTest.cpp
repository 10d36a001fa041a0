// One release installed over another: the build's setup and a later release
// of the same application built beside it (tests/setup/CMakeLists.txt). The
// later one must find the earlier install's folder through the uninstall
// entry and install there, in the wizard and silently, but only a folder the
// folder page would accept; the earlier one must not go back a release over
// the later one unless the user or the administrator says so.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ProcessWindows.h"
#include "RegistryKey.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

const std::wstring kEarlierVersion = L"" TONVANE_SETUP_VERSION;
const std::wstring kLaterVersion = L"" TONVANE_LATER_VERSION;
constexpr const wchar_t* kOlderReleaseQuestion =
    L"A newer release of Tonvane Free is installed (%s). Do you want to install this older release over it?";

std::wstring laterSetup() { return winePathOfUnixPath(TONVANE_LATER_SETUP); }

std::string logText(const std::wstring& path) {
  const std::string bytes = readBytes(path);
  return bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
}

// The same folder, entry and links: whatever ran changed none of them.
void expectUnchanged(const InstallSnapshot& before, const InstallSnapshot& after) {
  EXPECT_EQ(after.files.size(), before.files.size());
  for (const auto& file : before.files) {
    const auto found = after.files.find(file.first);
    ASSERT_NE(found, after.files.end()) << utf8Of(file.first) << " is gone";
    EXPECT_TRUE(found->second == file.second) << utf8Of(file.first) << " changed";
  }
  EXPECT_EQ(after.entry, before.entry);
  EXPECT_EQ(after.links, before.links);
}

class UpgradeTest : public SetupSandbox {
 protected:
  // Runs a setup (the build's unless named) to its end; its exit code.
  DWORD runSilently(const std::wstring& arguments, const std::wstring& program = L"") {
    SetupRun run;
    EXPECT_TRUE(run.start(arguments, program, partnerEnvironment()));
    return run.waitForExit(180000);
  }

  // Starts a setup's wizard with a log and walks it to the folder page.
  testing::AssertionResult startAtFolderPage(SetupRun& run, const std::wstring& program, const std::wstring& log) {
    if (testing::AssertionResult started = startInSandbox(run, L"/LOG=\"" + log + L"\"", program); !started)
      return started;
    return nextTo(run, SetupPage::Folder);
  }

  // The later release's wizard walked over the installed folder to Next on
  // its Shortcuts page: the box that comes then.
  HWND boxAfterShortcutsPage(SetupRun& run, const std::wstring& log) {
    EXPECT_TRUE(startAtFolderPage(run, laterSetup(), log));
    EXPECT_TRUE(nextOverExistingFolder(run));
    run.click(IDC_FRAME_NEXT);
    HWND box = run.waitForMessageBox();
    EXPECT_NE(box, nullptr);
    return box;
  }

  // Not below Program Files, and with a folder above it still to be made.
  const std::wstring folder_ = temp_ / L"Apps\\Mine";
};

// The wizard of the later release proposes the earlier install's folder,
// goes back to it when the portable box is unticked, and installs there:
// one copy, one entry, its folder kept and its version the later one.
TEST_F(UpgradeTest, TheWizardProposesTheEarlierFolderAndInstallsTheLaterReleaseThere) {
  ASSERT_EQ(runSilently(L"/S /D=" + folder_), 0u);
  ASSERT_EQ(entryValue(L"InstallLocation"), folder_);

  const std::wstring log = temp_ / L"wizard.log";
  SetupRun run;
  ASSERT_TRUE(startAtFolderPage(run, laterSetup(), log));
  const auto edit = [&] { return windowText(run.control(IDC_FOLDER_EDIT)); };
  EXPECT_EQ(edit(), folder_);
  run.click(IDC_FOLDER_PORTABLE);
  ASSERT_TRUE(waitUntil([&] { return run.isChecked(IDC_FOLDER_PORTABLE) && edit() != folder_; }));
  run.click(IDC_FOLDER_PORTABLE);
  EXPECT_TRUE(waitUntil([&] { return !run.isChecked(IDC_FOLDER_PORTABLE) && edit() == folder_; })) << utf8Of(edit());

  run.click(IDC_FRAME_NEXT);
  HWND box = run.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SetupRun::messageBoxText(box),
            shown(L"Folder exists in the destination.") + L"\r\n" + shown(L"Do you want to overwrite install?"));
  ASSERT_TRUE(SetupRun::answer(box, IDYES));
  ASSERT_TRUE(run.waitForPage(SetupPage::Shortcuts));
  ASSERT_TRUE(nextTo(run, SetupPage::Offers, 120000));
  ASSERT_TRUE(declineOffersAndClose(run));

  EXPECT_FALSE(folderExists(defaultInstallFolder()));
  EXPECT_TRUE(fileExists(folder_ + L"\\Tonvane.exe"));
  EXPECT_EQ(entryValue(L"InstallLocation"), folder_);
  EXPECT_EQ(entryValue(L"DisplayVersion"), kLaterVersion);
  const std::string text = logText(log);
  for (const std::string& line :
       {"Earlier install: uninstall entry Tonvane Free found, InstallLocation \"" + utf8Of(folder_) +
            "\", DisplayVersion \"" + utf8Of(kEarlierVersion) + "\"\r\n",
        "Earlier install folder proposed: " + utf8Of(folder_) + "\r\n",
        "against this setup's " + utf8Of(kLaterVersion) + ": older than this setup: an upgrade\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

// Without /D= a silent install goes into the earlier install's folder, but
// only when the folder page would take it as typed: anything else in the
// entry is passed over for the default folder, never refused or used.
TEST_F(UpgradeTest, ASilentInstallGoesIntoTheEarlierFolderUnlessTheEntryNamesNoPlainFullPath) {
  const struct {
    const char* name;
    std::wstring planted;  // InstallLocation written over the entry; "" for a real earlier install
    std::wstring expected;
  } cases[] = {
      {"installed earlier", L"", folder_},
      {"network path", L"\\\\server\\share\\Tonvane Free\\", defaultInstallFolder()},
      {"relative", L"Apps\\Mine", defaultInstallFolder()},
      {"verbatim path", L"\\\\?\\" + folder_, defaultInstallFolder()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    removeInstallation();
    removeTree(folder_);
    if (c.planted.empty()) {
      ASSERT_EQ(runSilently(L"/S /D=" + folder_), 0u);
    } else {
      RegistryKey entry;
      ASSERT_EQ(entry.create(HKEY_LOCAL_MACHINE, uninstallEntryPath()), ERROR_SUCCESS);
      ASSERT_EQ(entry.setString(L"DisplayName", L"Tonvane Free"), ERROR_SUCCESS);
      ASSERT_EQ(entry.setString(L"DisplayVersion", kEarlierVersion), ERROR_SUCCESS);
      ASSERT_EQ(entry.setString(L"InstallLocation", c.planted), ERROR_SUCCESS);
    }
    const std::wstring log = temp_ / L"silent.log";
    ASSERT_EQ(runSilently(L"/S /LOG=\"" + log + L"\"", laterSetup()), 0u) << logText(log);
    EXPECT_TRUE(fileExists(c.expected + (c.expected.back() == L'\\' ? L"" : L"\\") + L"Tonvane.exe"));
    EXPECT_EQ(entryValue(L"InstallLocation"), c.expected);
    EXPECT_EQ(entryValue(L"DisplayVersion"), kLaterVersion);
    if (c.expected != folder_) {
      EXPECT_FALSE(folderExists(folder_));
      EXPECT_NE(logText(log).find("Earlier install folder not used"), std::string::npos) << logText(log);
    } else {
      EXPECT_FALSE(folderExists(defaultInstallFolder()));
    }
  }
}

// The build's release over the later one: the wizard asks on leaving the
// folder page, No by default, and No changes nothing; a silent run ends
// with 1638 and changes nothing; /AllowDowngrade installs.
TEST_F(UpgradeTest, AnOlderReleaseAsksInTheWizardAndNeedsAllowDowngradeSilently) {
  ASSERT_EQ(runSilently(L"/S /D=" + folder_, laterSetup()), 0u);
  const InstallSnapshot later = snapshotInstallation(folder_);
  ASSERT_EQ(later.entry.count(L"DisplayVersion"), 1u);
  ASSERT_EQ(later.entry.at(L"DisplayVersion"), kLaterVersion);

  const std::wstring wizardLog = temp_ / L"wizard.log";
  {
    SetupRun run;
    ASSERT_TRUE(startAtFolderPage(run, L"", wizardLog));
    EXPECT_EQ(windowText(run.control(IDC_FOLDER_EDIT)), folder_);
    run.click(IDC_FRAME_NEXT);
    HWND box = run.waitForMessageBox();
    ASSERT_NE(box, nullptr);
    std::wstring question = shown(kOlderReleaseQuestion);
    ASSERT_NE(question.find(L"%s"), std::wstring::npos);
    question.replace(question.find(L"%s"), 2, kLaterVersion);
    EXPECT_EQ(SetupRun::messageBoxText(box), question);
    EXPECT_EQ(GetWindow(box, GW_OWNER), run.frame());
    EXPECT_TRUE(SetupRun::hasButton(box, IDYES));
    // Enter answers No: the default push button.
    const auto style = [&](int id) { return GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK; };
    EXPECT_EQ(style(IDNO), BS_DEFPUSHBUTTON);
    EXPECT_EQ(style(IDYES), BS_PUSHBUTTON);
    ASSERT_TRUE(SetupRun::answer(box, IDNO));
    ASSERT_TRUE(run.settle());
    EXPECT_EQ(run.currentPage(), SetupPage::Folder);
    EXPECT_TRUE(run.messageBoxes().empty());
    EXPECT_TRUE(cancelConfirmed(run));
  }
  expectUnchanged(later, snapshotInstallation(folder_));
  EXPECT_NE(logText(wizardLog).find("the user chose not to install this older release, nothing changed"),
            std::string::npos)
      << logText(wizardLog);

  const std::wstring log = temp_ / L"silent.log";
  EXPECT_EQ(runSilently(L"/LOG=\"" + log + L"\" /S"), 1638u);
  expectUnchanged(later, snapshotInstallation(folder_));
  const std::string refused = logText(log);
  for (const char* line :
       {"newer than this setup\r\n",
        "Refused: a newer release is installed; /AllowDowngrade installs this older release over it\r\n",
        "Exit code 1638\r\n"})
    EXPECT_NE(refused.find(line), std::string::npos) << line << " in\n" << refused;

  EXPECT_EQ(runSilently(L"/S /AllowDowngrade"), 0u);
  EXPECT_EQ(entryValue(L"DisplayVersion"), kEarlierVersion);
  EXPECT_EQ(entryValue(L"InstallLocation"), folder_);
  EXPECT_FALSE(folderExists(defaultInstallFolder()));
}

// The installed application, started from its folder as a user starts it;
// asked to close as the setup asks it, when the test ends.
class RunningApplication {
 public:
  explicit RunningApplication(const std::wstring& program) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program + L"\"";
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process_)) {
      CloseHandle(process_.hThread);
      waitUntil([&] { return !title().empty(); }, 30000);
    }
  }
  ~RunningApplication() {
    if (process_.hProcess == nullptr) return;
    if (running()) {
      for (HWND window : windows()) PostMessageW(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hProcess);
  }
  RunningApplication(const RunningApplication&) = delete;
  RunningApplication& operator=(const RunningApplication&) = delete;

  bool running() const {
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
  }
  bool endsWithin(DWORD milliseconds) const {
    return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
  }
  // Its main window's title, as the setup names it.
  std::wstring title() const {
    for (HWND window : windows())
      if (IsWindowVisible(window) && GetWindowTextLengthW(window) > 0) return windowText(window);
    return std::wstring();
  }

 private:
  std::vector<HWND> windows() const { return topLevelWindows(process_.dwProcessId); }
  PROCESS_INFORMATION process_ = {};
};

// What keeps files of the install from being replaced is found before
// anything changes. The running application: a silent run told to leave it
// ends with 32 and changes nothing; otherwise it is asked to close (in the
// wizard after the user's Yes to a box that names it) and the later
// release goes in. A file another process holds open, which no program
// list names: 32 silently, and in the wizard Retry/Cancel naming the file,
// where Cancel ends with 2 and changes nothing.
TEST_F(UpgradeTest, ProgramsAndFilesInUseAreFoundBeforeAnythingChanges) {
  ASSERT_EQ(runSilently(L"/S /D=" + folder_), 0u);
  const InstallSnapshot earlier = snapshotInstallation(folder_);
  const std::wstring program = folder_ + L"\\Tonvane.exe";
  // Which file stands at the program's name: a replaced one is another.
  const auto fileIdentity = [&program] {
    BY_HANDLE_FILE_INFORMATION information = {};
    HANDLE file =
        CreateFileW(program.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::uint64_t{0};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  };
  const std::uint64_t earlierProgram = fileIdentity();
  ASSERT_NE(earlierProgram, 0u);
  const std::wstring log = temp_ / L"in-use.log";
  // The silent run's log names what kept it from changing anything.
  const auto expectRefusedFor = [&log](const std::wstring& inUse) {
    const std::string text = logText(log);
    EXPECT_NE(text.find("Files in use, nothing changed:\r\n" + utf8Of(inUse)), std::string::npos) << text;
  };
  {
    RunningApplication application(program);
    const std::wstring title = application.title();
    ASSERT_FALSE(title.empty()) << "the application shows no window";
    EXPECT_EQ(runSilently(L"/S /NoCloseApplications /LOG=\"" + log + L"\"", laterSetup()), 32u);
    expectUnchanged(earlier, snapshotInstallation(folder_));
    EXPECT_TRUE(application.running());
    expectRefusedFor(title);

    SetupRun run;
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(box = boxAfterShortcutsPage(run, temp_ / L"wizard.log"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"These programs are using files that the setup must replace:") +
                                                 L"\r\n\r\n" + title + L"\r\n\r\n" +
                                                 shown(L"Do you want the setup to close them?"));
    EXPECT_EQ(GetWindow(box, GW_OWNER), run.frame());
    ASSERT_TRUE(SetupRun::answer(box, IDYES));
    EXPECT_TRUE(application.endsWithin(30000));
    ASSERT_TRUE(run.waitForPage(SetupPage::Offers, 120000));
    ASSERT_TRUE(declineOffersAndClose(run));
    EXPECT_EQ(entryValue(L"DisplayVersion"), kLaterVersion);
    EXPECT_NE(fileIdentity(), earlierProgram) << "the running program's file was not replaced";
  }
  {
    RunningApplication application(program);
    ASSERT_TRUE(application.running());
    EXPECT_EQ(runSilently(L"/S", laterSetup()), 0u);
    EXPECT_TRUE(application.endsWithin(0));
  }

  const InstallSnapshot later = snapshotInstallation(folder_);
  const std::wstring held = folder_ + L"\\Tonvane.exe";
  HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(runSilently(L"/S /LOG=\"" + log + L"\"", laterSetup()), 32u);
  expectRefusedFor(held);
  {
    SetupRun run;
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(box = boxAfterShortcutsPage(run, temp_ / L"held.log"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SetupRun::messageBoxText(box),
              shown(L"These programs or files are still in use:") + L"\r\n\r\n" + held + L"\r\n\r\n" +
                  shown(L"Close them, then choose Retry. Cancel ends the setup without changes."));
    EXPECT_TRUE(SetupRun::hasButton(box, IDRETRY));
    ASSERT_TRUE(SetupRun::answer(box, IDCANCEL));
    EXPECT_EQ(run.waitForExit(), 2u);
  }
  CloseHandle(holder);
  expectUnchanged(later, snapshotInstallation(folder_));
}

}  // namespace
