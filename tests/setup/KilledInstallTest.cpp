// The large setup (tests/setup/CMakeLists.txt) ended with TerminateProcess,
// as the task manager or a power cut ends it, at a moment of its install read
// off the install folder from here while it runs; then the same setup run
// again, or the uninstaller of the release installed before. Either must
// leave the whole new release, or nothing of the product, and nothing
// temporary.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"

using namespace tonvane::test;

namespace {

// As a user finds them in the folder, not through the program's constants.
const std::wstring kStagedSuffix = L".tonvane-new";
const std::wstring kBackupSuffix = L".tonvane-old";
const std::wstring kJournal = L"install.journal";

using Files = std::map<std::wstring, std::string>;  // path below the folder -> bytes

bool endsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Calls `visit` with the path below `folder` of every file there.
template <typename Visit>
void walk(const std::wstring& folder, const std::wstring& below, const Visit& visit) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW((folder + below + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      walk(folder, below + name + L"\\", visit);
    else
      visit(below + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// What the large setup packed: the application's files and the generated ones.
const Files& archiveFiles() {
  static const Files files = [] {
    Files all = filesBelow(winePathOfUnixPath(TONVANE_APPLICATION_TREE) + L"\\");
    for (auto& file : filesBelow(winePathOfUnixPath(TONVANE_LARGE_TREE) + L"\\")) all.insert(file);
    return all;
  }();
  return files;
}

// The files an install writes: the archive's, the uninstaller and install.log.
std::size_t filesWritten() { return archiveFiles().size() + 2; }

struct Temporaries {
  std::size_t staged = 0;
  std::size_t backups = 0;
};

Temporaries temporariesBelow(const std::wstring& folder) {
  Temporaries found;
  walk(folder, L"", [&](const std::wstring& path) {
    // A new folder is staged whole: its files are staged by its name.
    if (endsWith(path, kStagedSuffix) || path.find(kStagedSuffix + L"\\") != std::wstring::npos) ++found.staged;
    if (endsWith(path, kBackupSuffix)) ++found.backups;
  });
  return found;
}

// The journal as seen from outside, without opening it: a reader holding it
// open would make the setup's own replacement of it fail (neither Windows nor
// Wine moves a file over one that is open). A new journal is a new file,
// written later.
struct JournalStamp {
  bool exists = false;
  FILETIME written = {};
  DWORD size = 0;
  bool operator==(const JournalStamp& other) const {
    return exists == other.exists && CompareFileTime(&written, &other.written) == 0 && size == other.size;
  }
};

JournalStamp journalStamp(const std::wstring& folder) {
  JournalStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW((folder + kJournal).c_str(), GetFileExInfoStandard, &data)) return stamp;
  stamp.exists = true;
  stamp.written = data.ftLastWriteTime;
  stamp.size = data.nFileSizeLow;
  return stamp;
}

// The journal's Phase line; read only when no setup runs (above).
std::string journalPhase(const std::wstring& folder) {
  const std::string text = readBytes(folder + kJournal);
  const std::size_t at = text.find("\r\nPhase=");
  if (at == std::string::npos) return text.empty() ? "(no journal)" : "(no Phase line)";
  return text.substr(at + 8, text.find("\r\n", at + 8) - (at + 8));
}

enum class Moment { Staging, SwitchBegun, LateSwitch };

struct Case {
  const char* name;
  Moment moment;
  bool upgrade;    // over the build's own setup's release, installed first
  bool uninstall;  // then that release's uninstaller rather than the setup again
};

// The setup held still while the folder is looked at (NtSuspendProcess), so
// that it gets on only in the short slices between looks however slowly this
// process is scheduled: the switch of a few hundred files is over in well
// under a second.
class HeldStill {
 public:
  explicit HeldStill(HANDLE process) : process_(process) { call("NtSuspendProcess"); }
  ~HeldStill() {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) call("NtResumeProcess");
  }
  HeldStill(const HeldStill&) = delete;
  HeldStill& operator=(const HeldStill&) = delete;

 private:
  void call(const char* name) {
    using Procedure = LONG(WINAPI*)(HANDLE);
    const auto procedure =
        reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
    ASSERT_NE(procedure, nullptr) << name;
    ASSERT_EQ(procedure(process_), 0) << name;
  }
  HANDLE process_;
};

// Starts the large setup into `folder` and ends it as soon as the folder
// shows `moment`: "" when it was ended so, else why not.
std::string killAt(const std::wstring& folder, Moment moment) {
  SetupRun run;
  if (!run.start(L"/S /D=" + folder, winePathOfUnixPath(TONVANE_LARGE_SETUP))) return "it did not start";
  const std::wstring below = folder + L"\\";
  JournalStamp staging;
  while (WaitForSingleObject(run.process(), 2) == WAIT_TIMEOUT) {
    const HeldStill still(run.process());
    const JournalStamp now = journalStamp(below);
    if (!now.exists) continue;
    if (!staging.exists) staging = now;
    const bool switching = !(now == staging);
    bool reached = false;
    switch (moment) {
      case Moment::Staging:
        reached = !switching && temporariesBelow(below).staged >= filesWritten() / 4;
        break;
      case Moment::SwitchBegun:
        reached = switching;
        break;
      case Moment::LateSwitch:
        reached = switching && temporariesBelow(below).staged <= filesWritten() / 4;
        break;
    }
    if (!reached) continue;
    TerminateProcess(run.process(), 0xDEAD);
    const DWORD code = run.waitForExit(60000);
    return code == 0xDEAD ? "" : "it ended with " + std::to_string(code) + " before it was killed";
  }
  return "it ended by itself with " + std::to_string(run.exitCode()) + " before the moment came";
}

// Whether the folder, as the killed setup left it, shows the moment; why
// not, else.
std::string showsMoment(const std::wstring& folder, const Case& c) {
  const std::string phase = journalPhase(folder + L"\\");
  const Temporaries left = temporariesBelow(folder + L"\\");
  const std::size_t total = filesWritten();
  bool shows = false;
  switch (c.moment) {
    case Moment::Staging:
      shows = phase == "Staging" && left.staged > 0 && left.staged < total;
      break;
    case Moment::SwitchBegun:
      shows = phase == "Switching" && left.staged > total / 4;
      break;
    // Every file may be in place already, the journal not yet deleted.
    case Moment::LateSwitch:
      shows = phase == "Switching" && left.staged <= total / 4 && (!c.upgrade || left.backups > 0);
      break;
  }
  if (shows) return "";
  return "killed at " + std::string(c.name) + ", the folder shows journal phase " + phase + ", " +
         std::to_string(left.staged) + " of " + std::to_string(total) + " new files staged, " +
         std::to_string(left.backups) + " backups";
}

// Where an elevated setup makes its private folders.
std::wstring systemTempFolder() {
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\Temp\\";
}

// The setup's private staging folders under the system's temporary folder
// that no running setup holds: what a killed run left.
std::set<std::wstring> staleStagingFolders() {
  const std::wstring temp = systemTempFolder();
  std::set<std::wstring> stale;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((temp + L"TonvaneSetup-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return stale;
  do {
    // A running setup holds its folder, deletion not shared.
    HANDLE folder = CreateFileW((temp + found.cFileName).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) continue;
    CloseHandle(folder);
    stale.insert(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return stale;
}

// What a wizard run killed after its partner offers were staged leaves (a
// silent run stages nothing): a staging folder no setup holds, with an
// installer in it. False when it could not be made.
bool plantStaleStagingFolder() {
  const std::wstring folder =
      systemTempFolder() + L"TonvaneSetup-" + std::to_wstring(10000000 + GetCurrentProcessId() % 90000000);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  writeBytes(folder + L"\\offer.exe", "MZ");
  return fileExists(folder + L"\\offer.exe");
}

// At most a few names of a list, for a message.
std::string someOf(const std::set<std::wstring>& names) {
  std::string text;
  std::size_t shown = 0;
  for (const std::wstring& name : names) {
    if (++shown > 5) return text + "... (" + std::to_string(names.size()) + " in all)";
    text += utf8Of(name) + " ";
  }
  return text;
}

// The large release installed whole into the folder: byte for byte its files
// and uninstaller, install.log listing its files, nothing else, and the
// uninstall entry of its version naming the folder.
void expectLargeRelease(const std::wstring& folder) {
  Files installed = filesBelow(folder + L"\\");
  Files expected = archiveFiles();
  expected[L"TonvaneUninstaller.exe"] = readBytes(winePathOfUnixPath(TONVANE_UNINSTALLER));
  installed.erase(L"install.log");
  std::set<std::wstring> missing, differing, extra;
  for (const auto& file : expected) {
    const auto found = installed.find(file.first);
    if (found == installed.end())
      missing.insert(file.first);
    else if (found->second != file.second)
      differing.insert(file.first);
  }
  for (const auto& file : installed)
    if (!expected.count(file.first)) extra.insert(file.first);
  EXPECT_TRUE(missing.empty()) << "missing: " << someOf(missing);
  EXPECT_TRUE(differing.empty()) << "not the archive's bytes: " << someOf(differing);
  EXPECT_TRUE(extra.empty()) << "not the release's: " << someOf(extra);

  const std::vector<std::wstring> logged = installLogPaths(folder + L"\\install.log");
  std::set<std::wstring> listed(logged.begin(), logged.end()), unlisted;
  for (const auto& file : archiveFiles())
    if (!listed.erase(folder + L"\\" + file.first)) unlisted.insert(file.first);
  EXPECT_TRUE(unlisted.empty()) << "not in install.log: " << someOf(unlisted);
  EXPECT_TRUE(listed.empty()) << "in install.log, not the release's: " << someOf(listed);

  EXPECT_EQ(entryValue(L"InstallLocation"), folder);
  EXPECT_EQ(entryValue(L"DisplayVersion"), L"" TONVANE_LARGE_VERSION);
}

const Case kCases[] = {
    {"StagingFirstInstall", Moment::Staging, false, false},
    {"SwitchBegunFirstInstall", Moment::SwitchBegun, false, false},
    {"LateSwitchFirstInstall", Moment::LateSwitch, false, false},
    {"StagingUpgrade", Moment::Staging, true, false},
    {"SwitchBegunUpgrade", Moment::SwitchBegun, true, false},
    {"LateSwitchUpgrade", Moment::LateSwitch, true, false},
    {"StagingUpgradeThenUninstall", Moment::Staging, true, true},
    {"LateSwitchUpgradeThenUninstall", Moment::LateSwitch, true, true},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class KilledInstallTest : public WholeSetupTest, public ::testing::WithParamInterface<Case> {
 protected:
  TempFolder temp_;
  const std::wstring folder_ = temp_ / L"Tonvane Free";
};

TEST_P(KilledInstallTest, TheNextRunLeavesTheWholeReleaseOrNothing) {
  const Case& c = GetParam();
  if (c.upgrade) {
    SetupRun earlier;
    ASSERT_TRUE(earlier.start(L"/S /D=" + folder_));
    ASSERT_EQ(earlier.waitForExit(180000), 0u);
  }
  const std::string notKilled = killAt(folder_, c.moment);
  ASSERT_EQ(notKilled, "") << "the large setup was not killed at " << c.name;
  const std::string notShown = showsMoment(folder_, c);
  ASSERT_EQ(notShown, "");
  ASSERT_TRUE(plantStaleStagingFolder());

  if (!c.uninstall) {
    SetupRun again;
    ASSERT_TRUE(again.start(L"/S /D=" + folder_, winePathOfUnixPath(TONVANE_LARGE_SETUP)));
    ASSERT_EQ(again.waitForExit(180000), 0u);
    expectLargeRelease(folder_);
    EXPECT_TRUE(staleStagingFolders().empty()) << "left: " << someOf(staleStagingFolders());
    return;
  }
  const std::wstring command = entryValue(L"QuietUninstallString");
  ASSERT_NE(command.find(folder_ + L"\\TonvaneUninstaller.exe"), std::wstring::npos) << utf8Of(command);
  SetupRun uninstall;
  ASSERT_TRUE(uninstall.startCommandLine(command));
  EXPECT_EQ(uninstall.waitForExit(180000), 0u);
  // The uninstaller's own file and the folder go with its copy, after it.
  EXPECT_TRUE(waitUntil([&] { return !folderExists(folder_); }, 60000)) << "left: " << someOf([&] {
    std::set<std::wstring> left;
    walk(folder_ + L"\\", L"", [&](const std::wstring& path) { left.insert(path); });
    return left;
  }());
  EXPECT_FALSE(entryExists());
  EXPECT_TRUE(staleStagingFolders().empty()) << "left: " << someOf(staleStagingFolders());
  EXPECT_FALSE(folderExists(shellFolder(CSIDL_COMMON_PROGRAMS) + L"Tonvane Free"));
  EXPECT_FALSE(fileExists(shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"Tonvane Free.lnk"));
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledInstallTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& test) { return std::string(test.param.name); });

}  // namespace
