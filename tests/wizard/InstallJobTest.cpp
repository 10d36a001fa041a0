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
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "AnsiText.h"
#include "InstallLog.h"
#include "InstallStep.h"
#include "MessageBoxWatcher.h"
#include "MessageLoop.h"
#include "Paths.h"
#include "PrivateFolder.h"
#include "Resources.h"
#include "ScopedEnvironment.h"
#include "SetupLog.h"
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
      if (unzGetCurrentFileInfo64(reader, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        break;
      std::wstring installedName(name, name + std::char_traits<char>::length(name));
      std::replace(installedName.begin(), installedName.end(), L'/', L'\\');
      list.push_back({installedName, info.uncompressed_size});
    }
    unzClose(reader);
    return list;
  }();
  return files;
}

// Every file below a folder, with its path relative to it.
void listFilesBelow(const std::wstring& folder, const std::wstring& prefix,
                    std::vector<std::wstring>& files) {
  for (const std::wstring& name : listFolder(folder + prefix)) {
    const std::wstring relative = prefix + name;
    if (folderExists(folder + relative))
      listFilesBelow(folder, relative + L"\\", files);
    else
      files.push_back(relative);
  }
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

// Every value of the entry, read back with the registry API: texts as they
// are, numbers as "dword:N".
std::map<std::wstring, std::wstring> entryValues() {
  std::map<std::wstring, std::wstring> values;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, entryPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    wchar_t data[2048] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &bytes) != ERROR_SUCCESS)
      break;
    if (type == REG_DWORD && bytes == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, data, sizeof number);
      values[std::wstring(name, nameLength)] = L"dword:" + std::to_wstring(number);
      continue;
    }
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
    values[std::wstring(name, nameLength)] = data;
  }
  RegCloseKey(key);
  return values;
}

std::wstring today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

// The paths of "install.log" in the order the file lists them (the test
// folders have plain ASCII names, so bytes are characters here).
std::vector<std::wstring> loggedPaths(const std::wstring& folder) {
  const std::string text = readBytes(ensureTrailingBackslash(folder) + L"install.log");
  std::vector<std::wstring> paths;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) paths.emplace_back(line.begin() + equals + 1, line.end());
    start = end + 2;
  }
  return paths;
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
    barProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordingBarProcedure)));
    ASSERT_NE(barProcedure, nullptr);

    state_.frameWindow = frame_;
    state_.pages[Progress].window = page_;
    state_.offers.stagingFolder = staging_.path();
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
    listFilesBelow(ensureTrailingBackslash(state_.installFolder), L"", present);
    std::sort(present.begin(), present.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(present, expected);
  }

  void expectNoArchiveLeft() const {
    EXPECT_FALSE(fileExists(staging_ / L"Tonvane.zip"));
    EXPECT_TRUE(listFolder(staging_.path()).empty());
  }

  MessageBoxWatcher boxes_;
  TempFolder staging_;
  TempFolder target_;
  HWND frame_ = nullptr;
  HWND page_ = nullptr;
  SetupState state_;
};

TEST_F(InstallJobTest, ANormalInstallLeavesTheApplicationItsLogTheUninstallerAndTheEntry) {
  // What exists as each position is set: the archive, the log, the
  // uninstaller, the entry.
  std::vector<std::string> stages;
  onPosition = [&](WPARAM) {
    std::string stage;
    stage += fileExists(staging_ / L"Tonvane.zip") ? 'Z' : '-';
    stage += fileExists(installed(L"install.log")) ? 'L' : '-';
    stage += fileExists(installed(L"TonvaneUninstaller.exe")) ? 'U' : '-';
    stage += entryValues().empty() ? '-' : 'E';
    stages.push_back(stage);
  };
  ASSERT_TRUE(runInstallJob(state_));
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  EXPECT_EQ(stages, (std::vector<std::string>{"----", "Z---", "ZL--", "-L--", "-LU-", "-LUE"}));
  expectApplicationFiles();
  expectNoArchiveLeft();

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
  std::uint64_t bytes = readBytes(installed(L"TonvaneUninstaller.exe")).size() +
                        readBytes(installed(L"install.log")).size();
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
  ASSERT_EQ(initModule(), S_OK);
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
  const bool installed = runInstallJob(state_);
  loopRegistry()->remove(GetCurrentThreadId());
  termModule();
  ASSERT_TRUE(installed);
  EXPECT_EQ(sentFromElsewhere, std::vector<bool>(kFullProgress.size(), true));
  const auto mark = std::find(positionsSeen.begin(), positionsSeen.end(), kPostedMark);
  ASSERT_NE(mark, positionsSeen.end()) << "the posted message was never dispatched";
  EXPECT_LT(mark - positionsSeen.begin(), std::find(positionsSeen.begin(), positionsSeen.end(), WPARAM{100}) -
                                              positionsSeen.begin());
  expectApplicationFiles();
}

TEST_F(InstallJobTest, ATrailingBackslashInTheTypedFolderChangesOnlyTheInstallLocation) {
  ASSERT_TRUE(runInstallJob(state_));
  const std::map<std::wstring, std::wstring> plain = entryValues();
  const std::vector<std::wstring> plainLog = loggedPaths(state_.installFolder);
  removeEntry();
  removeTree(state_.installFolder);
  ASSERT_FALSE(folderExists(state_.installFolder));

  const std::wstring typed = state_.installFolder + L"\\";
  state_.installFolder = typed;
  positionsSeen.clear();
  ASSERT_TRUE(runInstallJob(state_));
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
  ASSERT_TRUE(runInstallJob(state_));
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  expectApplicationFiles();
  expectNoArchiveLeft();
  EXPECT_EQ(loggedPaths(state_.installFolder).size(), archiveFiles().size());
  EXPECT_FALSE(fileExists(installed(L"TonvaneUninstaller.exe")));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, entryPath().c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  if (key != nullptr) RegCloseKey(key);
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

  ASSERT_TRUE(runInstallJob(state_));
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

TEST_F(InstallJobTest, AStagingFolderThatCannotTakeTheArchiveFailsBeforeAnythingIsInstalled) {
  // A folder that does not exist, and a "folder" that is a file.
  writeBytes(staging_ / L"a file", "not a folder");
  for (const std::wstring& staging : {staging_ / L"missing\\", staging_ / L"a file\\"}) {
    SCOPED_TRACE(std::string(staging.begin(), staging.end()));
    const std::size_t before = boxes_.seen().size();
    state_.offers.stagingFolder = staging;
    positionsSeen.clear();
    EXPECT_FALSE(runInstallJob(state_));
    const std::vector<SeenBox> seen = boxes_.seen();
    ASSERT_EQ(seen.size(), before + 1);
    EXPECT_EQ(seen.back().caption, L"Tonvane Free Setup");
    EXPECT_EQ(seen.back().text, L"Failed to install.");
    EXPECT_EQ(positionsSeen, std::vector<WPARAM>{0});
    EXPECT_FALSE(folderExists(state_.installFolder));
    EXPECT_TRUE(entryValues().empty());
  }
  EXPECT_EQ(listFolder(staging_.path()), std::vector<std::wstring>{L"a file"});
  state_.offers.stagingFolder = staging_.path();
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
    EXPECT_FALSE(runInstallJob(state_));
    const std::vector<SeenBox> seen = boxes_.seen();
    ASSERT_EQ(seen.size(), before + 1);
    EXPECT_EQ(seen.back().text, L"Failed to install.");
    EXPECT_EQ(positionsSeen.back(), 40u);
    expectNoArchiveLeft();
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
    ASSERT_TRUE(runInstallJob(state_));
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

// Without an offer worker there is no staging folder: the job makes its own
// private one (under the system's temporary folder, not the user's) and
// removes it again, leaving nothing in the process's current folder.
TEST_F(InstallJobTest, WithoutAStagingFolderTheJobUsesAndRemovesAPrivateOne) {
  TempFolder userTemp;
  TempFolder current;
  const std::wstring parent = privateFolderParent();
  const std::vector<std::wstring> before = listFolder(parent);
  wchar_t savedCurrent[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, savedCurrent);
  SetCurrentDirectoryW(current.path().c_str());

  // While the archive is there (from 20 to 40): where is it? Test programs
  // that run beside this one make private folders in the same parent; the
  // job's is the new one that holds the archive, and nothing else.
  std::vector<std::wstring> stagingFolders;
  std::vector<std::wstring> inCurrentFolder;
  onPosition = [&](WPARAM position) {
    if (position != 20) return;
    for (const std::wstring& name : listFolder(parent))
      if (std::find(before.begin(), before.end(), name) == before.end() &&
          listFolder(parent + name) == std::vector<std::wstring>{L"Tonvane.zip"})
        stagingFolders.push_back(name);
    inCurrentFolder = listFolder(current.path());
  };
  state_.offers.stagingFolder.clear();
  bool done = false;
  {
    ScopedTempPath redirect(userTemp.path());
    done = runInstallJob(state_);
  }
  SetCurrentDirectoryW(savedCurrent);

  ASSERT_TRUE(done);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(positionsSeen, kFullProgress);
  expectApplicationFiles();
  ASSERT_EQ(stagingFolders.size(), 1u);
  EXPECT_TRUE(inCurrentFolder.empty());
  EXPECT_FALSE(folderExists(parent + stagingFolders[0]));
  EXPECT_TRUE(listFolder(userTemp.path()).empty());
  EXPECT_TRUE(listFolder(current.path()).empty());
}

}  // namespace
