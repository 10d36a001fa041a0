// The setup as an administrator runs it from a script: "/S" with its options,
// the exit codes, the setup log and the options' help box. The setup runs
// as its own process; a watcher thread looks at its top-level windows for
// the whole run, and what it left is read back through the system's APIs.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "OlderRelease.h"
#include "ProcessWindows.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr const wchar_t* kMutexName = L"TonvaneSetup";

std::string describe(const std::vector<std::wstring>& windows) {
  std::string text;
  for (const std::wstring& window : windows) text += "[" + utf8Of(window) + "] ";
  return text;
}

// The log's text after its byte-order mark; "" (and a failure) without one.
std::string logText(const std::wstring& path) {
  const std::string bytes = readBytes(path);
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF") << "no UTF-8 log at " << utf8Of(path);
  return bytes.size() >= 3 ? bytes.substr(3) : std::string();
}

// Every visible top-level window the process shows while it runs, seen
// from a thread of the test that enumerates them over and over.
class WindowWatcher {
 public:
  explicit WindowWatcher(DWORD processId) : processId_(processId) {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &watch, this, 0, nullptr);
  }
  ~WindowWatcher() {
    stop();
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
  }
  WindowWatcher(const WindowWatcher&) = delete;
  WindowWatcher& operator=(const WindowWatcher&) = delete;

  bool running() const { return thread_ != nullptr; }
  void stop() {
    if (thread_ == nullptr) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  // "class 'caption'" of each window seen visible, as it first looked.
  std::vector<std::wstring> seen() {
    std::vector<std::wstring> windows;
    EnterCriticalSection(&lock_);
    for (const auto& window : seen_) windows.push_back(window.second);
    LeaveCriticalSection(&lock_);
    return windows;
  }
  int rounds() const { return rounds_; }

 private:
  static DWORD WINAPI watch(void* data) {
    auto* self = static_cast<WindowWatcher*>(data);
    do {
      for (HWND window : topLevelWindows(self->processId_, true)) {
        wchar_t caption[128] = {};
        GetWindowTextW(window, caption, 128);
        EnterCriticalSection(&self->lock_);
        self->seen_.emplace(window, className(window) + L" '" + caption + L"'");
        LeaveCriticalSection(&self->lock_);
      }
      ++self->rounds_;
    } while (WaitForSingleObject(self->stop_, 5) == WAIT_TIMEOUT);
    return 0;
  }

  DWORD processId_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  std::map<HWND, std::wstring> seen_;
  volatile int rounds_ = 0;
};

class SilentInstallTest : public SetupSandbox {
 protected:
  // Runs the setup with `arguments` to its end, watching its windows; its
  // exit code. `program` is the build's setup unless named.
  DWORD runSilently(const std::wstring& arguments, const std::wstring& program = L"") {
    SetupRun run;
    EXPECT_TRUE(run.start(arguments, program, partnerEnvironment()));
    WindowWatcher watcher(run.processId());
    EXPECT_TRUE(watcher.running());
    const DWORD exitCode = run.waitForExit(180000);
    watcher.stop();
    EXPECT_GT(watcher.rounds(), 0);
    const std::vector<std::wstring> seen = watcher.seen();
    EXPECT_TRUE(seen.empty()) << "windows shown by " << utf8Of(arguments) << ": " << describe(seen);
    // Never a partner installer, never a web page.
    EXPECT_FALSE(fileExists(partnerLog_)) << utf8Of(arguments);
    EXPECT_FALSE(fileExists(urlRecord_)) << utf8Of(arguments);
    return exitCode;
  }
};

// The wizard's typical run (defaults, No to the offers, Close) and "/S"
// leave the very same folder, install.log, uninstall entry and links.
TEST_F(SilentInstallTest, TheDefaultsLeaveWhatTheWizardsTypicalRunLeaves) {
  const std::wstring wizardLog = temp_ / L"wizard.log";
  {
    SetupRun run;
    ASSERT_TRUE(startAtWelcome(run, L"/LOG=\"" + wizardLog + L"\""));
    ASSERT_TRUE(nextThroughInstall(run));
    ASSERT_TRUE(declineOffersAndClose(run));
  }
  const InstallSnapshot wizard = snapshotInstallation(defaultInstallFolder());
  ASSERT_TRUE(wizard.files.count(L"Tonvane.exe"));
  ASSERT_TRUE(wizard.files.count(L"install.log"));
  ASSERT_FALSE(wizard.entry.empty());
  ASSERT_EQ(wizard.links.size(), 4u);

  // The wizard's log: its own steps, offers staged, no offer started.
  const std::string wizardText = logText(wizardLog);
  for (const char* expected :
       {"Run: wizard", "Install folder: ", "Journal: Staging", "Staged ", "install.log: ", "Journal: Switching",
        "Uninstall entry ", "Link made: ", "Install complete, backups and journal deleted",
        "Offer brask7_tolv.zip staged: ", "Offer jword2setup_common.zip staged: ", "Exit code 1\r\n"})
    EXPECT_NE(wizardText.find(expected), std::string::npos) << expected << " in\n" << wizardText;
  EXPECT_EQ(wizardText.find("Offer started"), std::string::npos) << wizardText;

  removeInstallation();
  ASSERT_FALSE(folderExists(defaultInstallFolder()));
  EXPECT_EQ(runSilently(L"/S"), 0u);
  EXPECT_FALSE(mutexExists(kMutexName));
  const InstallSnapshot silent = snapshotInstallation(defaultInstallFolder());

  EXPECT_EQ(silent.files.size(), wizard.files.size());
  for (const auto& file : wizard.files) {
    const auto found = silent.files.find(file.first);
    ASSERT_NE(found, silent.files.end()) << utf8Of(file.first);
    EXPECT_TRUE(found->second == file.second) << utf8Of(file.first) << " differs";
  }
  EXPECT_EQ(silent.entry, wizard.entry);
  EXPECT_EQ(silent.links, wizard.links);
}

// A wizard run that accepts both offers: its log names each installer
// started and its exit code (the stand-ins end with 0).
TEST_F(SilentInstallTest, TheWizardsLogNamesTheOffersStartedWithTheirExitCodes) {
  const std::wstring log = temp_ / L"offers.log";
  {
    SetupRun run;
    ASSERT_TRUE(startInSandbox(run, L"/LOG=\"" + log + L"\""));
    ASSERT_TRUE(nextThroughInstall(run));
    run.click(IDC_FRAME_YES);
    ASSERT_TRUE(run.waitForPage(SetupPage::Complete, 120000));
    ASSERT_TRUE(closeWithoutPressRelease(run));
  }
  ASSERT_TRUE(fileExists(partnerLog_));
  const std::string text = logText(log);
  std::size_t at = 0;
  for (const std::string& step :
       {std::string("Offers accepted: toolbar yes, plug-in yes\r\n"), std::string("Offer started: "),
        std::string("brask7_tolv.exe /S, exit code 0\r\n"), std::string("Offer started: "),
        std::string("jword2setup_common.exe /S quorvatine quorvatine__soft, exit code 0\r\n"),
        std::string("Exit code 1\r\n")}) {
    const std::size_t found = text.find(step, at);
    ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << step << "\n" << text;
    at = found + step.size();
  }
}

// Each option on its own effect: a folder with blanks given last, links for
// the current user only, Send To, no desktop or Start menu links.
TEST_F(SilentInstallTest, TheOptionsChangeTheFolderAndTheLinks) {
  const std::wstring folder = temp_ / L"Tools  and More\\Tonvane Free";
  EXPECT_EQ(runSilently(L"/sendto /s /CURRENTUSER /NoDesktop /D=" + folder), 0u);
  EXPECT_TRUE(fileExists(folder + L"\\Tonvane.exe"));
  EXPECT_TRUE(fileExists(folder + L"\\TonvaneUninstaller.exe"));
  EXPECT_EQ(entryValue(L"InstallLocation"), folder);
  EXPECT_FALSE(folderExists(defaultInstallFolder()));
  std::map<std::wstring, std::wstring> links = productLinks();
  std::set<std::wstring> names;
  for (const auto& link : links) names.insert(link.first);
  const std::wstring group = shellFolder(CSIDL_PROGRAMS) + L"Tonvane Free\\";
  const std::wstring sendTo = shellFolder(CSIDL_SENDTO) + L"Tonvane Free.lnk";
  EXPECT_TRUE(names.count(group + L"Tonvane Free.lnk"));
  EXPECT_TRUE(names.count(sendTo));
  EXPECT_EQ(names.size(), 4u) << "no desktop link, nothing for all users";
  EXPECT_EQ(links[sendTo].substr(0, folder.size() + 14), folder + L"\\Tonvane.exe |");

  // A log name planted as a second name of another file is not written
  // through, and a log that cannot be written does not stop the install.
  removeInstallation();
  const std::wstring precious = temp_ / L"precious.dat";
  writeBytes(precious, "keep me");
  const std::wstring planted = temp_ / L"planted.log";
  ASSERT_TRUE(CreateHardLinkW(planted.c_str(), precious.c_str(), nullptr));
  EXPECT_EQ(runSilently(L"/S /NoStartMenu /LOG=\"" + planted + L"\""), 0u);
  EXPECT_EQ(readBytes(precious), "keep me");
  EXPECT_TRUE(fileExists(defaultInstallFolder() + L"Tonvane.exe"));
  links = productLinks();
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links.begin()->first, shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"Tonvane Free.lnk");
}

// "/Portable": the settings file, no uninstaller, no entry, no links; by
// default beside the setup, as the folder page proposes it.
TEST_F(SilentInstallTest, PortableGoesBesideTheSetupOrIntoTheGivenFolder) {
  const std::wstring copyFolder = temp_ / L"stick\\";
  ASSERT_TRUE(CreateDirectoryW(copyFolder.c_str(), nullptr));
  const std::wstring copy = copyFolder + L"TonvaneSetup.exe";
  ASSERT_TRUE(CopyFileW(setupProgramPath().c_str(), copy.c_str(), FALSE));

  EXPECT_EQ(runSilently(L"/S /PORTABLE", copy), 0u);
  const std::wstring portable = copyFolder + L"Tonvane Free\\";
  EXPECT_TRUE(fileExists(portable + L"Tonvane.exe"));
  EXPECT_TRUE(fileExists(portable + L"Tonvane.ini"));
  EXPECT_TRUE(fileExists(portable + L"install.log"));
  EXPECT_FALSE(fileExists(portable + L"TonvaneUninstaller.exe"));
  EXPECT_FALSE(entryExists());
  EXPECT_TRUE(productLinks().empty());
  EXPECT_FALSE(folderExists(defaultInstallFolder()));

  const std::wstring given = temp_ / L"given portable\\";
  EXPECT_EQ(runSilently(L"/Portable /SendTo /S /D=" + given), 0u);
  EXPECT_TRUE(fileExists(given + L"Tonvane.ini"));
  EXPECT_FALSE(entryExists());
  const auto links = productLinks();
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links.begin()->first, shellFolder(CSIDL_SENDTO) + L"Tonvane Free.lnk");
}

// Failures install nothing, say why in the log and end with the Windows
// Installer's number for it: a folder the folder page refuses or an option
// the setup does not know 87, a folder nothing can be written to 1603.
TEST_F(SilentInstallTest, ARefusedFolderAnUnwritableFolderAndAnUnknownOptionEndWithTheirCodes) {
  ASSERT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  struct Case {
    std::wstring arguments;
    const char* logged;
    DWORD exitCode;
  } cases[] = {
      {L"/S /D=Tonvane Free\\", "Install folder refused: \"Tonvane Free\\\"", 87},
      {L"/S /D=C:\\Program Files\\NUL\\Tonvane", "Install folder refused: ", 87},
      {L"/S /D=Q:\\Tonvane Free\\", "Install failed: ", 1603},
      {L"/S /NoDesktops", "Unknown option: /NoDesktops", 87},
      {L"/S /D", "Unknown option: /D", 87},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8Of(c.arguments));
    const std::wstring log = temp_ / L"failed.log";
    DeleteFileW(log.c_str());
    // The log option first: the folder takes the rest of the line.
    EXPECT_EQ(runSilently(L"/LOG=\"" + log + L"\" " + c.arguments), c.exitCode);
    const std::string text = logText(log);
    EXPECT_NE(text.find(c.logged), std::string::npos) << text;
    EXPECT_NE(text.find("Exit code " + std::to_string(c.exitCode) + "\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Link made"), std::string::npos) << text;
    EXPECT_FALSE(entryExists());
    EXPECT_FALSE(folderExists(defaultInstallFolder()));
    EXPECT_FALSE(mutexExists(kMutexName));
  }
}

// Another copy holds the instance mutex: refused at start-up with 1618
// (a deployment tool tries again later), silently, and said so in its own
// log.
TEST_F(SilentInstallTest, ASecondCopyIsRefusedWith1618) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  const std::wstring log = temp_ / L"second.log";
  EXPECT_EQ(runSilently(L"/S /LOG=\"" + log + L"\""), 1618u);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  const std::string text = logText(log);
  EXPECT_NE(text.find("Refused at start-up: another copy of the setup is running"), std::string::npos) << text;
  EXPECT_NE(text.find("Exit code 1618\r\n"), std::string::npos) << text;
  EXPECT_FALSE(folderExists(defaultInstallFolder()));
  EXPECT_FALSE(entryExists());
}

// "/S /lang:jpn /LOG=..." with an older release installed by the Windows
// Installer: a log, in a file of a Japanese name, naming every step.
TEST_F(SilentInstallTest, TheLogNamesEveryStepOfAJapaneseSilentInstall) {
  OlderRelease older;
  ASSERT_EQ(older.install(), 0u);
  ASSERT_TRUE(older.registered());
  const std::wstring olderCode = older.productCode();

  // "セットアップ.log"
  const std::wstring log = temp_ / L"\u30BB\u30C3\u30C8\u30A2\u30C3\u30D7.log";
  EXPECT_EQ(runSilently(L"/S /lang:jpn /LOG=\"" + log + L"\""), 0u);
  const std::string text = logText(log);
  const std::string folder = utf8Of(defaultInstallFolder());
  const std::string japaneseHelp = utf8Of(japaneseFor(L"Online help"));
  ASSERT_NE(japaneseHelp, "Online help");
  const std::string codePage = japaneseSystem() ? "ANSI code page 932" : "ANSI code page 1252";
  // In this order.
  const std::string steps[] = {
      "Tonvane Free Setup 5.2.1.1, started ",
      "Command line: \"" + utf8Of(setupProgramPath()) + "\" /S /lang:jpn /LOG=",
      codePage,
      "Run: silent install",
      "Older release " + utf8Of(olderCode) + ": msiexec /x" + utf8Of(olderCode) +
          " /qn /norestart ended with exit code 0",
      "Install folder: " + folder + " (with uninstaller, links for all users); links: Start menu, desktop\r\n",
      "Journal: Staging\r\n",
      "Staged ",
      "install.log: 0 paths kept from the earlier log, ",
      "Journal: Switching\r\n",
      "Switched ",
      "Uninstall entry HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
      "Tonvane Free written, version 5.2.1.1",
      "Link made: " + utf8Of(shellFolder(CSIDL_COMMON_PROGRAMS)) + "Tonvane Free\\Tonvane Free.lnk -> " + folder +
          "Tonvane.exe",
      "Link made: " + utf8Of(shellFolder(CSIDL_COMMON_PROGRAMS)) + "Tonvane Free\\" + japaneseHelp + ".lnk",
      "Link made: " + utf8Of(shellFolder(CSIDL_COMMON_PROGRAMS)) + "Tonvane Free\\" +
          utf8Of(japaneseFor(L"Uninstall")) + ".lnk -> " + folder + "TonvaneUninstaller.exe /Uninstall",
      "Link made: " + utf8Of(shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY)) + "Tonvane Free.lnk",
      "Install complete, backups and journal deleted\r\n",
      "Installed\r\n",
      "Exit code 0\r\n",
  };
  std::size_t at = 0;
  for (const std::string& step : steps) {
    const std::size_t found = text.find(step, at);
    ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << step << "\n" << text;
    at = found + step.size();
  }
  EXPECT_EQ(text.find("Skipped"), std::string::npos) << text;
  EXPECT_EQ(text.find("Offer"), std::string::npos) << text;
  EXPECT_FALSE(older.registered());
  // The links carry the Japanese names the log gave.
  EXPECT_TRUE(
      fileExists(shellFolder(CSIDL_COMMON_PROGRAMS) + L"Tonvane Free\\" + japaneseFor(L"Online help") + L".lnk"));
}

// "/?" shows one box listing the options, in the interface's language, and
// installs nothing.
TEST_F(SilentInstallTest, HelpShowsOneBoxWithTheOptionsAndInstallsNothing) {
  struct Case {
    const wchar_t* arguments;
    bool japanese;
  } cases[] = {{L"/?", japaneseSystem()}, {L"/S /help /lang:jpn", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8Of(c.arguments));
    SetupRun run;
    ASSERT_TRUE(run.start(c.arguments));
    // The watcher of the silent runs sees this box: its silence there means
    // something.
    WindowWatcher watcher(run.processId());
    HWND box = run.waitForMessageBox(60000);
    ASSERT_NE(box, nullptr) << "exit code " << run.exitCode();
    const std::wstring text = SetupRun::messageBoxText(box);
    EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup", c.japanese));
    for (const wchar_t* option : {L"/S", L"/D=<folder>", L"/NoDesktop", L"/NoStartMenu", L"/SendTo", L"/CurrentUser",
                                  L"/Portable", L"/AllowDowngrade", L"/LOG=<file>", L"/lang:jpn"})
      EXPECT_NE(text.find(L"\r\n" + std::wstring(option) + L"\r\n"), std::wstring::npos) << utf8Of(option) << " in\n"
                                                                                         << utf8Of(text);
    for (const wchar_t* english :
         {L"Install silently, without any window, with the default choices",
          L"Install into this folder (must come last)", L"Create the shortcuts for the current user only",
          L"Install even over a newer release (without it: exit code 1638)",
          L"Exit codes: 0 installed, 87 invalid option or folder, 112 not enough disk space, 1602 cancelled, 1603 "
          L"failed (nothing changed), 1618 another setup is running"})
      EXPECT_NE(text.find(shown(english, c.japanese)), std::wstring::npos)
          << utf8Of(shown(english, c.japanese)) << " in\n"
          << utf8Of(text);
    EXPECT_EQ(run.messageBoxes().size(), 1u);
    EXPECT_TRUE(SetupRun::hasButton(box, IDOK));
    // The watcher polls: answered before its next round, the box would be
    // gone before it was seen.
    EXPECT_TRUE(waitUntil([&] { return !watcher.seen().empty(); }));
    ASSERT_TRUE(SetupRun::answer(box, IDOK));
    EXPECT_EQ(run.waitForExit(), 0u);
    watcher.stop();
    const std::vector<std::wstring> seen = watcher.seen();
    ASSERT_EQ(seen.size(), 1u) << describe(seen);
    EXPECT_EQ(seen[0].substr(0, 6), L"#32770") << describe(seen);
    EXPECT_FALSE(folderExists(defaultInstallFolder()));
    EXPECT_FALSE(entryExists());
  }
}

}  // namespace
