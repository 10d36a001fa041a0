// The install job on the setup's own frame and Progress page, with the
// payloads the build made (ZIP 209, EXE 210). The job writes the machine's
// uninstall entry "Tonvane Free": ctest runs this program under the
// "uninstall_registry" lock, and every test removes the key before and after.
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <gtest/gtest.h>
#include <unzip.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <ostream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "InstallJob.h"
#include "InstallLog.h"
#include "InstallTransaction.h"
#include "InstallStep.h"
#include "MessageBoxWatcher.h"
#include "MessageLoop.h"
#include "Paths.h"
#include "PrivateFolder.h"
#include "RegistryKey.h"
#include "RegistryValues.h"
#include "Resources.h"
#include "ScopedEnvironment.h"
#include "ScopedHandles.h"
#include "SetupInstallation.h"
#include "SetupLog.h"
#include "Shortcuts.h"
#include "TestFiles.h"
#include "UninstallRegistration.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

// A file of the application archive: its path in the install folder and
// its size.
struct ArchiveFile {
  std::wstring name;
  unsigned long long size;
};

// The files of the application archive this program carries (ZIP 209, the
// one the build packed for the setup), read back with minizip. The build
// may pack a product's own folder, so the tests take the list from the
// archive; its names are plain ASCII (tests/build checks that).
const std::vector<ArchiveFile>& archiveFiles() {
  static const std::vector<ArchiveFile> files = [] {
    std::vector<ArchiveFile> list;
    TempFolder folder;
    const std::wstring path = folder / L"209.zip";
    const ResourceBytes archive = loadResource(ResourceId::kZip, IDR_APPLICATION_ARCHIVE);
    writeBytes(path, std::string(reinterpret_cast<const char*>(archive.data), archive.size));
    unzFile reader = unzOpen64(encodeAnsiText(path).c_str());
    if (reader == nullptr) return list;
    for (int status = unzGoToFirstFile(reader); status == UNZ_OK; status = unzGoToNextFile(reader)) {
      unz_file_info64 info = {};
      char name[1024] = {};
      if (unzGetCurrentFileInfo64(reader, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
      std::wstring installedName(name, name + std::char_traits<char>::length(name));
      std::replace(installedName.begin(), installedName.end(), L'/', L'\\');
      list.push_back({installedName, info.uncompressed_size});
    }
    unzClose(reader);
    return list;
  }();
  return files;
}

const std::vector<WPARAM> kFullProgress = {0, 20, 40, 60, 80, 100};

std::vector<WPARAM> positionsSeen;
// Called with each position as it is set, to look at the job between steps.
std::function<void(WPARAM)> onPosition;
WNDPROC barProcedure = nullptr;

LRESULT CALLBACK recordingBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETPOS) {
    positionsSeen.push_back(wParam);
    if (onPosition) onPosition(wParam);
  }
  return CallWindowProcW(barProcedure, window, message, wParam, lParam);
}

INT_PTR CALLBACK quietDialogProcedure(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::wstring entryPath() { return std::wstring(kUninstallRoot) + kProductName; }

void removeEntry() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, entryPath().c_str()); }

// Every value of the entry as its text ("dword:N" for a number); the entry
// holds texts and numbers only.
std::map<std::wstring, std::wstring> entryValues() {
  std::map<std::wstring, std::wstring> texts;
  for (const auto& value : registryValues(HKEY_LOCAL_MACHINE, entryPath())) {
    if (value.second.type != REG_DWORD || value.second.bytes.size() != sizeof(DWORD)) {
      EXPECT_EQ(value.second.type, static_cast<DWORD>(REG_SZ)) << utf8Of(value.first);
    }
    texts[value.first] = value.second.text();
  }
  return texts;
}

std::wstring today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

// The paths of "install.log" in the order the file lists them.
std::vector<std::wstring> loggedPaths(const std::wstring& folder) {
  return installLogPaths(ensureTrailingBackslash(folder) + L"install.log");
}

class InstallJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    removeEntry();
    HINSTANCE module = GetModuleHandleW(nullptr);
    frame_ = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_FRAME), nullptr, &quietDialogProcedure, 0);
    ASSERT_NE(frame_, nullptr);
    page_ = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_PROGRESS_PAGE), frame_, &quietDialogProcedure, 0);
    ASSERT_NE(page_, nullptr);
    HWND bar = GetDlgItem(page_, IDC_PROGRESS_BAR);
    ASSERT_NE(bar, nullptr);
    positionsSeen.clear();
    barProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordingBarProcedure)));
    ASSERT_NE(barProcedure, nullptr);

    state_.frameWindow = frame_;
    state_.pages[Progress].window = page_;
    state_.installFolder = target_ / L"Tonvane Free";
  }

  void TearDown() override {
    onPosition = nullptr;
    state_.pages[Progress].window = nullptr;
    if (frame_ != nullptr) DestroyWindow(frame_);  // the page goes with it
    removeEntry();
  }

  // The folder as the job writes into it.
  std::wstring installed(const std::wstring& name) const {
    return ensureTrailingBackslash(state_.installFolder) + name;
  }

  void expectApplicationFiles() const {
    ASSERT_FALSE(archiveFiles().empty());
    std::vector<std::wstring> expected = {L"install.log"};
    if (!state_.portable) expected.push_back(L"TonvaneUninstaller.exe");
    for (const ArchiveFile& file : archiveFiles()) {
      EXPECT_EQ(readBytes(installed(file.name)).size(), file.size) << file.name;
      expected.push_back(file.name);
    }
    // Every file arrives whole, and nothing else: the inner archives are not
    // unpacked.
    std::vector<std::wstring> present;
    for (const auto& file : filesBelow(state_.installFolder)) present.push_back(file.first);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(present, expected);
  }

  MessageBoxWatcher boxes_;
  TempFolder target_;
  HWND frame_ = nullptr;
  HWND page_ = nullptr;
  SetupState state_;
};

TEST_F(InstallJobTest, ANormalInstallLeavesTheApplicationItsLogTheUninstallerAndTheEntry) {
  // What exists as each position is set: the install folder, the log, the
  // uninstaller, the entry.
  std::vector<std::string> stages;
  onPosition = [&](WPARAM) {
    std::string stage;
    stage += folderExists(state_.installFolder) ? 'F' : '-';
    stage += fileExists(installed(L"install.log")) ? 'L' : '-';
    stage += fileExists(installed(L"TonvaneUninstaller.exe")) ? 'U' : '-';
    stage += entryValues().empty() ? '-' : 'E';
    stages.push_back(stage);
  };
  ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  // The folder is there from 20; the new files reach their names only
  // together, at 80.
  EXPECT_EQ(stages, (std::vector<std::string>{"----", "F---", "F---", "F---", "FLU-", "FLUE"}));
  expectApplicationFiles();

  // The log lists exactly what the archive brought, in its order, and
  // neither itself nor the uninstaller.
  std::vector<std::wstring> expectedLog;
  for (const ArchiveFile& file : archiveFiles()) expectedLog.push_back(installed(file.name));
  std::vector<std::wstring> logged = loggedPaths(state_.installFolder);
  std::sort(logged.begin(), logged.end());
  std::sort(expectedLog.begin(), expectedLog.end());
  EXPECT_EQ(logged, expectedLog);

  const ResourceBytes uninstaller = loadResource(ResourceId::kExe, IDR_UNINSTALLER);
  ASSERT_NE(uninstaller.size, 0u);
  EXPECT_EQ(readBytes(installed(L"TonvaneUninstaller.exe")),
            std::string(reinterpret_cast<const char*>(uninstaller.data), uninstaller.size));

  const std::wstring folder = ensureTrailingBackslash(state_.installFolder);
  // What the list of programs shows as the size: the installed files, the
  // uninstaller and the log, in kilobytes rounded up.
  std::uint64_t bytes =
      readBytes(installed(L"TonvaneUninstaller.exe")).size() + readBytes(installed(L"install.log")).size();
  for (const std::wstring& path : logged) bytes += readBytes(path).size();
  const std::map<std::wstring, std::wstring> expected = {
      {L"DisplayName", L"Tonvane Free"},
      {L"UninstallString", L"\"" + folder + L"TonvaneUninstaller.exe\" /Uninstall"},
      {L"QuietUninstallString", L"\"" + folder + L"TonvaneUninstaller.exe\" /Uninstall /S"},
      {L"EstimatedSize", L"dword:" + std::to_wstring((bytes + 1023) / 1024)},
      {L"NoModify", L"dword:1"},
      {L"NoRepair", L"dword:1"},
      {L"InstallDate", today()},
      {L"DisplayIcon", folder + L"Tonvane.exe"},
      {L"HelpLink", L"" TONVANE_VENDOR_SITE L"services/tidewhistle/"},
      {L"URLInfoAbout", L"" TONVANE_VENDOR_SITE},
      {L"InstallSource", folderOfPath(modulePath())},
      // From this test program's own version resource.
      {L"DisplayVersion", L"7.3.5.1-wizard-test"},
      {L"Publisher", L"Marrowfen"},
      {L"InstallLocation", state_.installFolder}};
  EXPECT_EQ(entryValues(), expected);
}

// The wizard's thread keeps handling its messages while the job runs: the
// positions arrive as messages sent from the job's own thread, and a message
// posted to the window in the middle of the install is dispatched before
// the job is over, not after it.
TEST_F(InstallJobTest, TheWindowKeepsHandlingMessagesWhileTheJobRuns) {
  ASSERT_TRUE(initModule());
  MessageLoop loop;
  ASSERT_TRUE(loopRegistry()->add(GetCurrentThreadId(), &loop));
  std::vector<bool> sentFromElsewhere;
  HWND bar = GetDlgItem(page_, IDC_PROGRESS_BAR);
  constexpr WPARAM kPostedMark = 7;
  onPosition = [&](WPARAM position) {
    if (position == kPostedMark) return;
    sentFromElsewhere.push_back(InSendMessage() != FALSE);
    if (position == 20) PostMessageW(bar, PBM_SETPOS, kPostedMark, 0);
  };
  const bool installed = runInstallJob(state_) == InstallResult::Installed;
  loopRegistry()->remove(GetCurrentThreadId());
  termModule();
  ASSERT_TRUE(installed);
  EXPECT_EQ(sentFromElsewhere, std::vector<bool>(kFullProgress.size(), true));
  const auto mark = std::find(positionsSeen.begin(), positionsSeen.end(), kPostedMark);
  ASSERT_NE(mark, positionsSeen.end()) << "the posted message was never dispatched";
  EXPECT_LT(mark - positionsSeen.begin(),
            std::find(positionsSeen.begin(), positionsSeen.end(), WPARAM{100}) - positionsSeen.begin());
  expectApplicationFiles();
}

TEST_F(InstallJobTest, ATrailingBackslashInTheTypedFolderChangesOnlyTheInstallLocation) {
  ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
  const std::map<std::wstring, std::wstring> plain = entryValues();
  const std::vector<std::wstring> plainLog = loggedPaths(state_.installFolder);
  removeEntry();
  removeTree(state_.installFolder);
  ASSERT_FALSE(folderExists(state_.installFolder));

  const std::wstring typed = state_.installFolder + L"\\";
  state_.installFolder = typed;
  positionsSeen.clear();
  ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
  EXPECT_EQ(positionsSeen, kFullProgress);
  EXPECT_TRUE(boxes_.seen().empty());
  expectApplicationFiles();
  EXPECT_EQ(loggedPaths(typed), plainLog);

  std::map<std::wstring, std::wstring> withBackslash = entryValues();
  ASSERT_EQ(withBackslash.size(), plain.size());
  EXPECT_EQ(withBackslash[L"InstallLocation"], typed);
  EXPECT_EQ(plain.at(L"InstallLocation") + L"\\", typed);
  withBackslash[L"InstallLocation"] = plain.at(L"InstallLocation");
  EXPECT_EQ(withBackslash, plain);
}

TEST_F(InstallJobTest, APortableInstallWritesTheLogButNoUninstallerAndNoEntry) {
  state_.portable = true;
  ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  expectApplicationFiles();
  EXPECT_EQ(loggedPaths(state_.installFolder).size(), archiveFiles().size());
  EXPECT_FALSE(fileExists(installed(L"TonvaneUninstaller.exe")));
  EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, entryPath()));
}

TEST_F(InstallJobTest, AnInstallOverAnEarlierOneListsTheOldStillExistingFilesFirst) {
  // A file of the earlier release that the archive brings again.
  ASSERT_FALSE(archiveFiles().empty());
  const std::wstring again = installed(archiveFiles().front().name);
  ASSERT_TRUE(ensureFolder(folderOfPath(again)));
  writeBytes(installed(L"old.txt"), "from an earlier release");
  writeBytes(installed(L"gone.txt"), "removed since");
  writeBytes(again, "from the earlier release too");
  PathList earlier;
  ASSERT_TRUE(earlier.addExistingPath(installed(L"old.txt")));
  ASSERT_TRUE(earlier.addExistingPath(installed(L"gone.txt")));
  ASSERT_TRUE(earlier.addExistingPath(again));
  ASSERT_TRUE(saveInstallLog(earlier, installed(L"install.log")));
  ASSERT_TRUE(DeleteFileW(installed(L"gone.txt").c_str()));

  ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
  EXPECT_EQ(positionsSeen, kFullProgress);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_NE(readBytes(again), "from the earlier release too");

  const std::vector<std::wstring> logged = loggedPaths(state_.installFolder);
  ASSERT_EQ(logged.size(), archiveFiles().size() + 1);
  EXPECT_EQ(logged[0], installed(L"old.txt"));
  EXPECT_EQ(logged[1], again);
  for (std::size_t i = 2; i < logged.size(); ++i) {
    EXPECT_NE(logged[i], again);
    EXPECT_NE(logged[i], installed(L"gone.txt"));
  }
}

// Nothing reaches a folder below a file. Outside the portable configuration
// the uninstaller cannot be written either; the portable one writes no
// uninstaller, and an install that brought nothing must still not pass for
// done.
TEST_F(InstallJobTest, AnInstallFolderThatTakesNoFilesIsReportedAsAFailure) {
  writeBytes(target_ / L"a file", "not a folder");
  state_.installFolder = target_ / L"a file\\Tonvane Free";
  for (bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "portable" : "installed");
    const std::size_t before = boxes_.seen().size();
    state_.portable = portable;
    positionsSeen.clear();
    EXPECT_EQ(runInstallJob(state_), InstallResult::Failed);
    const std::vector<SeenBox> seen = boxes_.seen();
    ASSERT_EQ(seen.size(), before + 1);
    EXPECT_EQ(seen.back().text, L"Failed to install.");
    // The folder cannot be made: nothing was begun.
    EXPECT_EQ(positionsSeen, std::vector<WPARAM>{0});
    EXPECT_TRUE(entryValues().empty());
  }
}

// Outside the system's program folders a new install folder would inherit
// whatever its parent grants, here everything to everyone: a normal program
// of the user could then replace the uninstaller an administrator starts
// elevated. So the job makes it with the program folders' rights; the
// portable configuration and an existing folder keep theirs.
TEST_F(InstallJobTest, ANewInstallFolderGetsTheProgramFoldersRightsUnlessPortableOrExisting) {
  const std::wstring parent = target_ / L"open";
  {
    LocalMemory<PSECURITY_DESCRIPTOR> everyone;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                     everyone.receive(), nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, everyone.get(), FALSE};
    ASSERT_TRUE(CreateDirectoryW(parent.c_str(), &attributes));
  }
  // What a folder made there without a list of its own gets. Under Wine
  // that is the file mode the server hands every new folder, not the
  // parent's list, so the cases compare with it rather than with "full".
  ASSERT_TRUE(CreateDirectoryW((parent + L"\\plain").c_str(), nullptr));
  const unsigned long inherited = ordinaryUserRights(parent + L"\\plain");
  const bool underWine = !unixPathOf(L"C:\\").empty();

  ASSERT_TRUE(openSetupLog(target_ / L"setup.log"));
  for (const wchar_t* kind : {L"installed", L"portable", L"existing"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(kind)));
    state_.installFolder = parent + L"\\" + kind + L"\\Tonvane Free";
    state_.portable = std::wstring(kind) == L"portable";
    const bool existing = std::wstring(kind) == L"existing";
    if (existing) {
      ASSERT_TRUE(ensureFolder(state_.installFolder));
    }
    const unsigned long before = ordinaryUserRights(state_.installFolder);
    ASSERT_EQ(runInstallJob(state_), InstallResult::Installed);
    expectApplicationFiles();
    const unsigned long rights = ordinaryUserRights(state_.installFolder);
    if (state_.portable || existing) {
      EXPECT_EQ(rights, existing ? before : inherited) << std::hex << rights;
    } else {
      EXPECT_EQ(rights & kChangingRights, 0ul) << std::hex << rights;
      EXPECT_NE(rights, inherited) << std::hex << rights;
      // Wine keeps no entry for the Users group: it maps a list onto the
      // owner's, group's and others' mode bits.
      if (!underWine) {
        EXPECT_EQ(rights & FILE_GENERIC_READ, static_cast<unsigned long>(FILE_GENERIC_READ));
      }
    }
    removeEntry();
  }
  closeSetupLog();
  const std::string log = readBytes(target_ / L"setup.log");
  for (const char* line : {"Install folder rights: made with the program folders' rights",
                           "Install folder rights: made, inherited from the folder above (portable)",
                           "Install folder rights: an existing folder, left as it was"})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
}

// The job writes nothing of its own outside the install folder: not in the
// process's current folder, not in the user's temporary folder, at any
// position.
TEST_F(InstallJobTest, NothingIsWrittenInTheCurrentOrTheUsersTemporaryFolder) {
  TempFolder userTemp;
  TempFolder current;
  wchar_t savedCurrent[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, savedCurrent);
  SetCurrentDirectoryW(current.path().c_str());
  std::vector<std::wstring> seen;
  onPosition = [&](WPARAM) {
    for (const std::wstring& folder : {current.path(), userTemp.path()})
      for (const std::wstring& name : listFolder(folder)) seen.push_back(folder + name);
  };
  bool done = false;
  {
    ScopedTempPath redirect(userTemp.path());
    done = runInstallJob(state_) == InstallResult::Installed;
  }
  SetCurrentDirectoryW(savedCurrent);

  ASSERT_TRUE(done);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  expectApplicationFiles();
  EXPECT_EQ(seen, std::vector<std::wstring>{});
  EXPECT_TRUE(listFolder(userTemp.path()).empty());
  EXPECT_TRUE(listFolder(current.path()).empty());
}

// What an install leaves that a failed one must leave as it was: every file
// below the install folder, the entry's values, and the links and settings
// file it may change.
struct Release {
  bool folder = false;
  std::map<std::wstring, std::string> files;
  std::map<std::wstring, std::wstring> entry;
  std::map<std::wstring, std::string> outside;
  bool operator==(const Release& other) const {
    return folder == other.folder && files == other.files && entry == other.entry && outside == other.outside;
  }
};

std::ostream& operator<<(std::ostream& out, const Release& release) {
  out << (release.folder ? "folder with" : "no folder;");
  for (const auto& file : release.files) out << " " << utf8Of(file.first) << "(" << file.second.size() << ")";
  out << "; entry";
  for (const auto& value : release.entry) out << " " << utf8Of(value.first) << "=" << utf8Of(value.second);
  out << "; outside";
  for (const auto& file : release.outside) out << " " << utf8Of(file.first) << "(" << file.second.size() << ")";
  return out;
}

class InstallTransactionTest : public InstallJobTest {
 protected:
  void SetUp() override {
    InstallJobTest::SetUp();
    folders_ = shellFolders(false);
    ASSERT_FALSE(folders_.programs.empty());
    ASSERT_FALSE(folders_.desktop.empty());
    ASSERT_FALSE(folders_.sendTo.empty());
    links_ = {folders_.programs + L"Tonvane Free\\Tonvane Free.lnk",
              folders_.programs + L"Tonvane Free\\Online help.lnk", folders_.programs + L"Tonvane Free\\Uninstall.lnk",
              folders_.desktop + L"Tonvane Free.lnk", folders_.sendTo + L"Tonvane Free.lnk"};
    choices_.installFolder = state_.installFolder;
    choices_.startMenuShortcut = true;
    choices_.desktopShortcut = true;
    removeAll();
  }

  void TearDown() override {
    setStepFault(nullptr);
    removeAll();
    InstallJobTest::TearDown();
  }

  void removeAll() {
    removeTree(choices_.installFolder);
    removeEntry();
    for (const std::wstring& link : links_) DeleteFileW(link.c_str());
    RemoveDirectoryW((folders_.programs + L"Tonvane Free").c_str());
  }

  Release snapshot() const {
    Release release;
    const std::wstring folder = ensureTrailingBackslash(choices_.installFolder);
    release.folder = folderExists(folder);
    release.files = filesBelow(folder);
    release.entry = entryValues();
    // The date the entry was written changes with each install.
    release.entry.erase(L"InstallDate");
    for (const std::wstring& link : links_)
      if (fileExists(link)) release.outside[link] = readBytes(link);
    if (folderExists(folders_.programs + L"Tonvane Free")) release.outside[L"group"] = "";
    return release;
  }

  InstallResult install() {
    const ComInitialization com;
    return runInstallJob(choices_, InstallProgress());
  }

  // An earlier release as the later one meets it: a program of its own, a
  // file the later one does not have, one that it lacks, an older version
  // in the entry, links of its own and a Send To link the later one is not
  // asked for.
  void installEarlierRelease() {
    ASSERT_EQ(install(), InstallResult::Installed);
    const std::wstring folder = ensureTrailingBackslash(choices_.installFolder);
    writeBytes(folder + L"Tonvane.exe", "the earlier release's program");
    writeBytes(folder + L"earlier only.dat", "a file of the earlier release");
    ASSERT_GE(archiveFiles().size(), 2u);
    ASSERT_TRUE(DeleteFileW((folder + archiveFiles().back().name).c_str()));
    RegistryKey key;
    ASSERT_EQ(key.open(HKEY_LOCAL_MACHINE, entryPath(), KEY_SET_VALUE), ERROR_SUCCESS);
    key.setString(L"DisplayVersion", L"5.2.1.1");
    key.setString(L"Comments", L"5.2.1.1");
    RegDeleteValueW(key.handle(), L"HelpLink");
    writeBytes(links_[0], "the earlier release's link");
    writeBytes(folders_.sendTo + L"Tonvane Free.lnk", "the earlier release's Send To link");
  }

  ShellFolders folders_;
  std::vector<std::wstring> links_;
  InstallChoices choices_;
};

// The steps a fault is put at: every step that is not one of a file's
// (the journal, each registry value, each link, the settings), and the
// first and last of each kind of file step.
std::vector<std::wstring> stepsToFail(const std::vector<std::wstring>& steps) {
  std::vector<std::wstring> chosen;
  std::map<std::wstring, std::wstring> lastOfKind;
  for (const std::wstring& step : steps) {
    std::wstring kind;
    for (const wchar_t* fileStep : {L"write ", L"move aside ", L"move in "})
      if (step.compare(0, std::wcslen(fileStep), fileStep) == 0) kind = fileStep;
    if (kind.empty() || !lastOfKind.count(kind)) chosen.push_back(step);
    if (!kind.empty()) lastOfKind[kind] = step;
  }
  for (const auto& last : lastOfKind)
    if (std::find(chosen.begin(), chosen.end(), last.second) == chosen.end()) chosen.push_back(last.second);
  return chosen;
}

// A fault at any step of a first install leaves nothing of the product; at
// any step of an upgrade, the earlier release byte for byte, its entry and
// its links; each failure says in the log where it stopped, and that all
// was undone.
TEST_F(InstallTransactionTest, AFaultAtAnyStepLeavesTheEarlierReleaseOrNothing) {
  for (bool upgrade : {false, true}) {
    SCOPED_TRACE(upgrade ? "upgrade" : "first install");
    // The steps of a whole install from this starting point.
    removeAll();
    if (upgrade) installEarlierRelease();
    std::vector<std::wstring> steps;
    setStepFault([&steps](const std::wstring& step) {
      steps.push_back(step);
      return false;
    });
    ASSERT_EQ(install(), InstallResult::Installed);
    setStepFault(nullptr);
    const Release installedRelease = snapshot();
    EXPECT_EQ(installedRelease.entry.at(L"DisplayVersion"), L"7.3.5.1-wizard-test");
    for (const ArchiveFile& file : archiveFiles()) EXPECT_EQ(installedRelease.files.count(file.name), 1u) << file.name;
    const std::vector<std::wstring> chosen = stepsToFail(steps);
    ASSERT_GE(chosen.size(), 20u) << testing::PrintToString(steps);

    for (const std::wstring& failing : chosen) {
      SCOPED_TRACE(utf8Of(failing));
      removeAll();
      if (upgrade) installEarlierRelease();
      const Release before = snapshot();
      bool fired = false;
      setStepFault([&](const std::wstring& step) {
        if (fired || step != failing) return false;
        fired = true;
        return true;
      });
      const std::wstring logPath = target_ / L"fault.log";
      DeleteFileW(logPath.c_str());
      ASSERT_TRUE(openSetupLog(logPath));
      const InstallResult result = install();
      closeSetupLog();
      setStepFault(nullptr);
      EXPECT_TRUE(fired);
      EXPECT_EQ(result, InstallResult::Failed);
      EXPECT_EQ(snapshot(), before);
      const std::string log = readBytes(logPath);
      EXPECT_NE(log.find("Step failed: " + utf8Of(failing)), std::string::npos) << log;
      EXPECT_NE(log.find("Install failed: "), std::string::npos) << log;
      EXPECT_EQ(log.find("Roll-back incomplete"), std::string::npos) << log;
    }
  }
}

// The case that made the install a transaction: a file of the earlier
// release held open by a program cannot be moved aside, and the upgrade
// goes back to the earlier release whole instead of leaving a mix.
TEST_F(InstallTransactionTest, AFileHeldOpenByAProgramFailsTheUpgradeAndChangesNothing) {
  installEarlierRelease();
  const Release before = snapshot();
  const std::wstring held = ensureTrailingBackslash(choices_.installFolder) + archiveFiles().front().name;
  HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const InstallResult result = install();
  CloseHandle(file);
  EXPECT_EQ(result, InstallResult::Failed);
  EXPECT_EQ(snapshot(), before);
}

// Cancelled while it runs, the job stops at its next step and undoes what
// it did, as a failure would, and says it was cancelled.
TEST_F(InstallTransactionTest, ACancelledInstallUndoesEverything) {
  installEarlierRelease();
  const Release before = snapshot();
  volatile LONG cancel = 0;
  const ComInitialization com;
  const InstallResult result = runInstallJob(
      choices_,
      [&cancel](int position) {
        if (position == 80) InterlockedExchange(&cancel, 1);
      },
      &cancel);
  EXPECT_EQ(result, InstallResult::Cancelled);
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
