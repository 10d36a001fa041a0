// checkStart reads the real command line and takes a real named mutex, so
// each case runs in a fresh copy of this program started with the arguments
// under test; the copy reports through its exit code and a small file.
#include <windows.h>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "MessageBoxWatcher.h"
#include "SetupLog.h"
#include "StartupChecks.h"
#include "TestFiles.h"
#include "TranslationTable.h"

using namespace tonvane;

namespace {

constexpr unsigned long kWentOnEnglish = 10;
constexpr unsigned long kWentOnJapanese = 11;

DWORD versionRecordSize = 0;

BOOL ntSystem(OSVERSIONINFOW* info) {
  versionRecordSize = info->dwOSVersionInfoSize;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->dwMajorVersion = 4;  // older than 2000: only the platform id counts
  return TRUE;
}
BOOL windows98(OSVERSIONINFOW* info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  return TRUE;
}
BOOL failingQuery(OSVERSIONINFOW*) { return FALSE; }
BOOL administrator() { return TRUE; }
BOOL ordinaryUser() { return FALSE; }

bool japaneseLoaded() {
  return translateText(L"Failed to install.") ==
         L"\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u306b\u5931\u6557\u3057\u307e\u3057\u305f\u3002";
}

bool instanceMutexFree() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"TonvaneSetup");
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (mutex != nullptr) CloseHandle(mutex);
  return mutex != nullptr && !existed;
}

// The copy's report: one line per message box (caption, tab, text), then
// "japanese=0|1", "mutexFree=0|1", "recordSize=N".
int startAndReport(const StartupPlatform& platform, bool showRefusals = true) {
  std::optional<ExitCode> result;
  std::vector<test::SeenBox> boxes;
  {
    test::MessageBoxWatcher watcher(IDOK);
    result = checkStart(platform, showRefusals);
    Sleep(200);  // a box that would come late is still seen
    boxes = watcher.seen();
  }
  std::wstring report;
  for (const test::SeenBox& box : boxes) report += box.caption + L"\t" + box.text + L"\n";
  report += L"japanese=" + std::to_wstring(japaneseLoaded()) + L"\n";
  if (result) report += L"mutexFree=" + std::to_wstring(instanceMutexFree()) + L"\n";
  report += L"recordSize=" + std::to_wstring(versionRecordSize) + L"\n";
  const std::string bytes(reinterpret_cast<const char*>(report.data()), report.size() * 2);
  wchar_t reportPath[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TONVANE_CHILD_REPORT", reportPath, MAX_PATH);
  test::writeBytes(reportPath, bytes);
  if (result) return static_cast<int>(*result);
  releaseInstance();
  return japaneseLoaded() ? kWentOnJapanese : kWentOnEnglish;
}

// checkStart as a silent install calls it, with the setup log at the path
// the test gives.
int quietly(const StartupPlatform& platform) {
  wchar_t logPath[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TONVANE_CHILD_LOG", logPath, MAX_PATH);
  openSetupLog(logPath);
  const int result = startAndReport(platform, false);
  closeSetupLog();
  return result;
}

const bool kRegistered = test::registerChildScenario(L"start",
                                                     [] {
                                                       return startAndReport({ntSystem, administrator});
                                                     }) &&
                         test::registerChildScenario(L"windows98",
                                                     [] {
                                                       return startAndReport({windows98, administrator});
                                                     }) &&
                         test::registerChildScenario(L"no-version",
                                                     [] {
                                                       return startAndReport({failingQuery, administrator});
                                                     }) &&
                         test::registerChildScenario(L"not-admin",
                                                     [] {
                                                       return startAndReport({ntSystem, ordinaryUser});
                                                     }) &&
                         // A silent install: the refusal goes to the setup log only.
                         test::registerChildScenario(L"quiet-windows98",
                                                     [] {
                                                       return quietly({windows98, administrator});
                                                     }) &&
                         test::registerChildScenario(L"quiet-not-admin", [] {
                           return quietly({ntSystem, ordinaryUser});
                         });

struct ChildRun {
  unsigned long exitCode;
  std::wstring report;
};

class StartupChecks : public testing::Test {
 protected:
  ChildRun start(const std::wstring& scenario, const std::wstring& arguments = L"") {
    const std::wstring reportPath = folder_ / L"report.txt";
    DeleteFileW(reportPath.c_str());
    SetEnvironmentVariableW(L"TONVANE_CHILD_REPORT", reportPath.c_str());
    ChildRun run;
    run.exitCode = test::runInChild(scenario, arguments);
    const std::string bytes = test::readBytes(reportPath);
    run.report.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    return run;
  }
  static bool japaneseUser() { return (GetUserDefaultLangID() & 0x3FF) == LANG_JAPANESE; }
  unsigned long wentOnInUsersLanguage() const { return japaneseUser() ? kWentOnJapanese : kWentOnEnglish; }

  test::TempFolder folder_;
};

TEST_F(StartupChecks, TheLanguageOptionDecidesBeforeTheUsersLanguage) {
  ASSERT_TRUE(kRegistered);
  struct Case {
    const wchar_t* arguments;
    unsigned long expected;
  };
  const Case cases[] = {
      {L"/LANG:JPN", kWentOnJapanese},
      {L"/Lang:Jpn", kWentOnJapanese},
      {L"/lang:eng", kWentOnEnglish},
      {L"/lang:jpn /lang:eng", kWentOnEnglish},
      {L"/lang:eng \"/lang:jpn\"", kWentOnJapanese},
      {L"/lang:", wentOnInUsersLanguage()},
      {L"x/lang:jpn", wentOnInUsersLanguage()},
      {L"", wentOnInUsersLanguage()},
  };
  for (const Case& c : cases) {
    const ChildRun run = start(L"start", c.arguments);
    EXPECT_EQ(run.exitCode, c.expected) << c.arguments;
    EXPECT_EQ(run.report.find(L'\t'), std::wstring::npos) << "no message box: " << c.arguments;
  }
}

TEST_F(StartupChecks, GoesOnWithTheMutexHeldAndAsksForTheVersionProperly) {
  const ChildRun run = start(L"start", L"/lang:eng");
  EXPECT_EQ(run.exitCode, kWentOnEnglish);
  // OSVERSIONINFOW, as the query expects it.
  EXPECT_NE(run.report.find(L"recordSize=276\n"), std::wstring::npos);
}

TEST_F(StartupChecks, ASecondCopyEndsAtOnceWithoutAWord) {
  HANDLE first = CreateMutexW(nullptr, TRUE, L"TonvaneSetup");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  const ChildRun run = start(L"start", L"/lang:jpn");
  EXPECT_EQ(run.exitCode, static_cast<unsigned long>(ExitCode::WizardRefused));
  EXPECT_EQ(run.report.find(L'\t'), std::wstring::npos);
  // Refused before the language step: no table was loaded.
  EXPECT_NE(run.report.find(L"japanese=0\n"), std::wstring::npos);

  // The first copy still owns its mutex.
  EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ReleaseMutex(first);
  ReleaseMutex(first);
  CloseHandle(first);
}

TEST_F(StartupChecks, RefusalsShowOneTranslatedMessageAndFreeTheMutex) {
  const std::wstring englishCaption = L"Tonvane Free Setup";
  const std::wstring japaneseCaption = L"Tonvane Free \u30bb\u30c3\u30c8\u30a2\u30c3\u30d7";
  const std::wstring platformText = L"You can install Windows 2000, XP, Vista, 7 and 8.";
  const std::wstring platformJapanese =
      L"Windows 2000, XP, Vista, 7, 8\u3067\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u53ef\u80fd\u3067\u3059\u3002";
  const std::wstring rightsText = L"Please start with administrator privileges.";
  const std::wstring rightsJapanese =
      L"\u7ba1\u7406\u8005\u6a29\u9650\u3067\u8d77\u52d5\u3057\u3066\u4e0b\u3055\u3044\u3002";

  struct Case {
    const wchar_t* scenario;
    const wchar_t* arguments;
    std::wstring box;
  };
  const Case cases[] = {
      {L"windows98", L"/lang:eng", englishCaption + L"\t" + platformText},
      {L"no-version", L"/lang:eng", englishCaption + L"\t" + platformText},
      {L"not-admin", L"/lang:eng", englishCaption + L"\t" + rightsText},
      {L"windows98", L"/lang:jpn", japaneseCaption + L"\t" + platformJapanese},
      {L"not-admin", L"/lang:jpn", japaneseCaption + L"\t" + rightsJapanese},
  };
  for (const Case& c : cases) {
    const ChildRun run = start(c.scenario, c.arguments);
    EXPECT_EQ(run.exitCode, static_cast<unsigned long>(ExitCode::WizardRefused)) << c.scenario << " " << c.arguments;
    // Exactly one box, and the mutex given back while the copy still runs.
    EXPECT_EQ(run.report.rfind(c.box + L"\njapanese=", 0), 0u)
        << c.scenario << " " << c.arguments << ": " << testing::PrintToString(run.report);
    EXPECT_NE(run.report.find(L"mutexFree=1\n"), std::wstring::npos) << c.scenario;
  }
}

TEST_F(StartupChecks, ASilentRunsRefusalsShowNothingAndGoToTheLog) {
  const struct {
    const wchar_t* scenario;
    const char* logged;
    ExitCode exitCode;
  } cases[] = {
      {L"quiet-windows98", "Refused at start-up: You can install Windows 2000, XP, Vista, 7 and 8.\r\n",
       ExitCode::SilentUnsupportedSystem},
      {L"quiet-not-admin", "Refused at start-up: Please start with administrator privileges.\r\n",
       ExitCode::SilentNotAdministrator},
  };
  for (const auto& c : cases) {
    const std::wstring log = folder_ / (std::wstring(c.scenario) + L".log");
    SetEnvironmentVariableW(L"TONVANE_CHILD_LOG", log.c_str());
    const ChildRun run = start(c.scenario, L"/lang:jpn");
    EXPECT_EQ(run.exitCode, static_cast<unsigned long>(c.exitCode)) << c.scenario;
    EXPECT_EQ(run.report.find(L'\t'), std::wstring::npos) << testing::PrintToString(run.report);
    EXPECT_NE(run.report.find(L"mutexFree=1\n"), std::wstring::npos) << c.scenario;
    const std::string text = test::readBytes(log);
    EXPECT_NE(text.find(c.logged), std::string::npos) << text;
  }
}

}  // namespace
