// The uninstaller's removal run in-process on an install laid out by the
// test in a temporary folder, with link folders of its own: what goes, what
// stays and what is reported, checked on the real file system and registry.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistryKey.h"
#include "PathText.h"
#include "SelfRemoval.h"
#include "ShellLink.h"
#include "TestFiles.h"
#include "Uninstall.h"
#include "UninstallRegistration.h"
#include "UninstallerOptions.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class ComScope {
 public:
  ComScope() : result_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

 private:
  HRESULT result_;
};

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"install\\", L"programs\\", L"user-programs\\", L"desktop\\", L"user-desktop\\",
                                L"sendto\\", L"elsewhere\\"})
      ASSERT_TRUE(CreateDirectoryW((root_ / name).c_str(), nullptr));
    links_.commonPrograms = root_ / L"programs";
    links_.userPrograms = root_ / L"user-programs";
    links_.commonDesktop = root_ / L"desktop";
    links_.userDesktop = root_ / L"user-desktop";
    links_.sendTo = root_ / L"sendto";
    links_.helpLinkNames = {L"Online help"};
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstallRoot) + kProductName).c_str());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstallRoot) + kProductName).c_str());
  }

  std::wstring installed(const std::wstring& name) { return folder_ + name; }

  // Files of the install, and a log listing `listed` (full paths) as the
  // setup writes it.
  void lay(const std::vector<std::wstring>& files, std::vector<std::wstring> listed = {}) {
    for (const std::wstring& name : files) {
      const std::wstring path = installed(name);
      const std::size_t slash = path.rfind(L'\\');
      CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
      writeBytes(path, "payload");
      listed.insert(listed.begin(), path);
    }
    std::string log = "[Install]";
    for (std::size_t i = 0; i < listed.size(); ++i) log += "\r\nPath" + std::to_string(i + 1) + "=" + ascii(listed[i]);
    writeBytes(installed(L"install.log"), log);
  }

  void registerEntry(const std::wstring& installLocation) {
    UninstallEntry entry = makeUninstallEntry(kProductName);
    entry.displayName = kProductName;
    entry.installLocation = installLocation;
    ASSERT_TRUE(writeUninstallEntry(entry));
  }

  bool entryExists() {
    RegistryKey key;
    return key.open(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + kProductName, KEY_READ) == ERROR_SUCCESS;
  }

  TempFolder root_;
  std::wstring folder_ = root_ / L"install\\";
  LinkFolders links_;
  ComScope com_;
};

TEST_F(UninstallTest, RemovesListedFilesAndEmptiedFoldersButNotTheUsersOrTheirFolders) {
  lay({L"Tonvane.exe", L"readme.txt", L"resource\\a.png", L"resource\\deep\\b.png", L"plugins\\c.dll"});
  writeBytes(installed(L"plugins\\mine.dll"), "the user's");
  CreateDirectoryW(installed(L"empty-before").c_str(), nullptr);
  SetFileAttributesW(installed(L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  registerEntry(folder_);

  std::vector<std::size_t> counts;
  const UninstallOutcome outcome = removeInstallation(folder_, links_, [&](std::size_t done, std::size_t total) {
    counts.push_back(done);
    EXPECT_EQ(total, 5u);
  });

  EXPECT_EQ(outcome.removedFiles, 5u);
  EXPECT_TRUE(outcome.everythingRemoved());
  EXPECT_TRUE(outcome.outsideFolder.empty());
  EXPECT_EQ(counts, (std::vector<std::size_t>{1, 2, 3, 4, 5}));
  // What was there before the install, or added by the user, stays.
  EXPECT_EQ(listFolder(folder_), (std::vector<std::wstring>{L"empty-before", L"plugins"}));
  EXPECT_EQ(listFolder(installed(L"plugins")), std::vector<std::wstring>{L"mine.dll"});
  EXPECT_FALSE(entryExists());
}

TEST_F(UninstallTest, PathsOutsideTheFolderAreNeverTouchedAndAreReported) {
  const std::wstring elsewhere = root_ / L"elsewhere\\victim.txt";
  writeBytes(elsewhere, "keep");
  // A sibling whose name begins like the install folder's.
  const std::wstring sibling = root_ / L"install-other.txt";
  writeBytes(sibling, "keep");
  const std::vector<std::wstring> outside = {
      elsewhere,
      folder_ + L"..\\elsewhere\\victim.txt",
      removeTrailingBackslash(folder_) + L"-other.txt",
      L"\\\\?\\" + elsewhere,
      L"elsewhere\\victim.txt",
  };
  lay({L"Tonvane.exe"}, outside);

  const UninstallOutcome outcome = removeInstallation(folder_, links_);
  EXPECT_EQ(outcome.removedFiles, 1u);
  EXPECT_EQ(outcome.outsideFolder, outside);
  EXPECT_TRUE(outcome.everythingRemoved());
  EXPECT_EQ(readBytes(elsewhere), "keep");
  EXPECT_EQ(readBytes(sibling), "keep");
  EXPECT_FALSE(fileExists(installed(L"install.log")));
}

TEST_F(UninstallTest, AFileInUseStaysListedWithTheEntryAndTheUninstallLink) {
  lay({L"Tonvane.exe", L"helper.exe", L"TonvaneUninstaller.exe"});
  registerEntry(folder_);
  const std::wstring group = links_.commonPrograms + L"\\Tonvane Free\\";
  ASSERT_TRUE(CreateDirectoryW(group.c_str(), nullptr));
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), group + L"Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(installed(L"TonvaneUninstaller.exe"), group + L"Uninstall.lnk", L"", L"/Uninstall"));
  ASSERT_TRUE(createShortcut(L"C:\\help-target", group + L"Online help.lnk", L"", L""));

  const std::wstring busy = installed(L"helper.exe");
  HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const UninstallOutcome first = removeInstallation(folder_, links_);
  CloseHandle(held);

  EXPECT_EQ(first.leftInPlace, std::vector<std::wstring>{busy});
  EXPECT_FALSE(first.everythingRemoved());
  EXPECT_EQ(readBytes(installed(L"install.log")), "[Install]\r\nPath1=" + ascii(busy));
  EXPECT_TRUE(entryExists());
  EXPECT_EQ(listFolder(group), std::vector<std::wstring>{L"Uninstall.lnk"});

  // The uninstaller itself was listed here, as a log of an older setup might.
  const UninstallOutcome second = removeInstallation(folder_, links_);
  EXPECT_TRUE(second.everythingRemoved());
  EXPECT_EQ(second.removedFiles, 1u);
  EXPECT_FALSE(entryExists());
  EXPECT_FALSE(folderExists(group));
  EXPECT_TRUE(listFolder(folder_).empty());
}

TEST_F(UninstallTest, LinksAndTheEntryOfAnotherInstallStay) {
  lay({L"Tonvane.exe"});
  const std::wstring other = root_ / L"elsewhere\\Tonvane.exe";
  writeBytes(other, "another install");
  registerEntry(root_ / L"elsewhere\\");
  // Another install's group and links, under the same names.
  const std::wstring group = links_.userPrograms + L"\\Tonvane Free\\";
  ASSERT_TRUE(CreateDirectoryW(group.c_str(), nullptr));
  ASSERT_TRUE(createShortcut(other, group + L"Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(L"C:\\help-target", group + L"Online help.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(other, links_.commonDesktop + L"\\Tonvane Free.lnk", L"", L""));
  // This install's own links.
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), links_.userDesktop + L"\\Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), links_.sendTo + L"\\Tonvane Free.lnk", L"", L""));

  EXPECT_TRUE(removeInstallation(folder_, links_).everythingRemoved());
  EXPECT_EQ(listFolder(group), (std::vector<std::wstring>{L"Online help.lnk", L"Tonvane Free.lnk"}));
  EXPECT_TRUE(fileExists(links_.commonDesktop + L"\\Tonvane Free.lnk"));
  EXPECT_FALSE(fileExists(links_.userDesktop + L"\\Tonvane Free.lnk"));
  EXPECT_FALSE(fileExists(links_.sendTo + L"\\Tonvane Free.lnk"));
  EXPECT_TRUE(entryExists());
  EXPECT_EQ(readBytes(other), "another install");
}

// A junction or link inside the install folder, or in place of it, leads
// no deletion out of it: files and folders where it leads stay, and the
// files listed through it are reported.
TEST_F(UninstallTest, AJunctionInOrAtTheInstallFolderIsNeverFollowed) {
  const std::wstring outside = root_ / L"elsewhere\\";
  writeBytes(outside + L"a.txt", "keep");
  ASSERT_TRUE(CreateDirectoryW((outside + L"empty").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((outside + L"deep").c_str(), nullptr));
  writeBytes(outside + L"deep\\b.txt", "keep");
  if (!makeFolderLink(installed(L"sub"), outside)) GTEST_SKIP() << "no folder link can be made here";
  const std::vector<std::wstring> through = {installed(L"sub\\a.txt"), installed(L"sub\\deep\\b.txt")};
  std::vector<std::wstring> listed = through;
  listed.push_back(installed(L"sub\\empty\\gone.txt"));  // removed by the user: its folder seems emptied
  lay({L"Tonvane.exe"}, listed);

  const UninstallOutcome outcome = removeInstallation(folder_, links_);
  EXPECT_EQ(outcome.removedFiles, 1u);
  EXPECT_EQ(outcome.outsideFolder, through);
  EXPECT_EQ(listFolder(outside), (std::vector<std::wstring>{L"a.txt", L"deep", L"empty"}));
  EXPECT_EQ(readBytes(outside + L"a.txt"), "keep");
  EXPECT_EQ(readBytes(outside + L"deep\\b.txt"), "keep");
  EXPECT_EQ(listFolder(folder_), std::vector<std::wstring>{L"sub"});

  // The install folder itself swapped for a link to a folder holding a log
  // of the same form: nothing there is taken for the install's.
  const std::wstring moved = root_ / L"moved\\";
  ASSERT_TRUE(CreateDirectoryW(moved.c_str(), nullptr));
  writeBytes(moved + L"victim.txt", "keep");
  const std::wstring swapped = root_ / L"swapped\\";
  ASSERT_TRUE(makeFolderLink(swapped, moved));
  writeBytes(moved + L"install.log", "[Install]\r\nPath1=" + ascii(swapped) + "victim.txt");
  const UninstallOutcome refused = removeInstallation(swapped, links_);
  EXPECT_EQ(refused.removedFiles, 0u);
  EXPECT_EQ(refused.leftInPlace, std::vector<std::wstring>{swapped + L"victim.txt"});
  EXPECT_EQ(readBytes(moved + L"victim.txt"), "keep");
}

// A group or link that a junction leads out of its profile folder is not
// this install's, whatever its links point to. The profile folder itself
// may lead elsewhere (Wine's desktop is a link into the home folder): what
// lies where it leads is judged there.
TEST_F(UninstallTest, LinksAreJudgedWhereTheirFolderReallyIs) {
  lay({L"Tonvane.exe"});
  const std::wstring outsideGroup = root_ / L"elsewhere\\";
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), outsideGroup + L"Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(L"C:\\help-target", outsideGroup + L"Online help.lnk", L"", L""));
  if (!makeFolderLink(links_.userPrograms + L"\\Tonvane Free", outsideGroup))
    GTEST_SKIP() << "no folder link can be made here";
  const std::wstring home = root_ / L"home\\";
  ASSERT_TRUE(CreateDirectoryW(home.c_str(), nullptr));
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), home + L"Tonvane Free.lnk", L"", L""));
  links_.userDesktop = root_ / L"desktop-link";
  ASSERT_TRUE(makeFolderLink(links_.userDesktop, home));

  EXPECT_TRUE(removeInstallation(folder_, links_).everythingRemoved());
  EXPECT_EQ(listFolder(outsideGroup), (std::vector<std::wstring>{L"Online help.lnk", L"Tonvane Free.lnk"}));
  EXPECT_TRUE(folderExists(links_.userPrograms + L"\\Tonvane Free"));
  EXPECT_TRUE(listFolder(home).empty());
}

// Without the list of its files the uninstaller cannot tell the install
// from anything else: it removes nothing, not even the links and the entry
// that lead to it.
TEST_F(UninstallTest, WithoutAReadableLogNothingIsRemoved) {
  lay({L"Tonvane.exe"});
  const std::wstring log = installed(L"install.log");
  registerEntry(folder_);
  const std::wstring group = links_.commonPrograms + L"\\Tonvane Free\\";
  ASSERT_TRUE(CreateDirectoryW(group.c_str(), nullptr));
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), group + L"Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(installed(L"Tonvane.exe"), links_.userDesktop + L"\\Tonvane Free.lnk", L"", L""));

  const struct {
    const char* label;
    bool present;
    std::string content;
    bool heldByAnother;
  } cases[] = {
      {"missing", false, "", false},
      {"without its section", true, "[Files]\r\nPath1=" + ascii(installed(L"Tonvane.exe")), false},
      {"held by another program", true, "[Install]\r\nPath1=" + ascii(installed(L"Tonvane.exe")), true},
  };
  for (const auto& c : cases) {
    DeleteFileW(log.c_str());
    if (c.present) writeBytes(log, c.content);
    HANDLE held = c.heldByAnother ? CreateFileW(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE;
    const UninstallOutcome outcome = removeInstallation(folder_, links_);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

    EXPECT_TRUE(outcome.logUnreadable) << c.label;
    EXPECT_FALSE(outcome.everythingRemoved()) << c.label;
    EXPECT_EQ(outcome.removedFiles, 0u) << c.label;
    EXPECT_TRUE(fileExists(installed(L"Tonvane.exe"))) << c.label;
    EXPECT_EQ(fileExists(log), c.present) << c.label;
    EXPECT_EQ(readBytes(log), c.content) << c.label;
    EXPECT_TRUE(entryExists()) << c.label;
    EXPECT_EQ(listFolder(group), std::vector<std::wstring>{L"Tonvane Free.lnk"}) << c.label;
    EXPECT_TRUE(fileExists(links_.userDesktop + L"\\Tonvane Free.lnk")) << c.label;
  }
}

// A listed file the system refuses even to look at (here a name no file
// may have; elsewhere a folder the uninstaller may not read) is not a
// missing one: it stays listed for the next run.
TEST_F(UninstallTest, AListedFileThatCannotBeExaminedStaysListed) {
  const std::wstring unexaminable = installed(L"what?.txt");
  lay({L"Tonvane.exe"}, {unexaminable});
  registerEntry(folder_);

  const UninstallOutcome outcome = removeInstallation(folder_, links_);
  EXPECT_EQ(outcome.leftInPlace, std::vector<std::wstring>{unexaminable});
  EXPECT_EQ(readBytes(installed(L"install.log")), "[Install]\r\nPath1=" + ascii(unexaminable));
  EXPECT_TRUE(entryExists());
}

// The copy's part deletes the uninstaller's file and the empty folder, and
// nothing else: another file keeps the folder, and the folder it runs from
// is never taken.
TEST_F(UninstallTest, TheFinishingCopyRemovesOnlyTheUninstallerAndAnEmptyFolder) {
  writeBytes(installed(L"TonvaneUninstaller.exe"), "uninstaller");
  EXPECT_EQ(finishSelfRemoval(nullptr, folder_), ExitCode::SelfRemovalDone);
  EXPECT_FALSE(folderExists(folder_));

  ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  writeBytes(installed(L"TonvaneUninstaller.exe"), "uninstaller");
  writeBytes(installed(L"notes.txt"), "the user's");
  EXPECT_EQ(finishSelfRemoval(nullptr, removeTrailingBackslash(folder_)), ExitCode::SelfRemovalIncomplete);
  EXPECT_EQ(listFolder(folder_), std::vector<std::wstring>{L"notes.txt"});

  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring ownFolder = self;
  ownFolder.resize(ownFolder.rfind(L'\\') + 1);
  EXPECT_EQ(finishSelfRemoval(nullptr, ownFolder), ExitCode::SelfRemovalIncomplete);
  EXPECT_TRUE(folderExists(ownFolder));
}

TEST(UninstallerOptionsTest, ReadsTheEntrysCommandsAndTheFinishingCopysArguments) {
  const struct {
    std::vector<std::wstring> arguments;
    bool uninstall, silent, finish;
    std::uintptr_t process;
    std::wstring folder;
  } cases[] = {
      {{L"u.exe"}, false, false, false, 0, L""},
      {{L"u.exe", L"/Uninstall"}, true, false, false, 0, L""},
      {{L"u.exe", L"/UNINSTALL", L"/s"}, true, true, false, 0, L""},
      {{L"u.exe", L"/S", L"/lang:jpn", L"/uninstall"}, true, true, false, 0, L""},
      {{L"/Uninstall", L"u.exe"}, false, false, false, 0, L""},  // the program is not an option
      {{L"u.exe", L"/Finish", L"1234", L"C:\\Program Files\\Tonvane Free"},
       false,
       false,
       true,
       1234,
       L"C:\\Program Files\\Tonvane Free"},
      {{L"u.exe", L"/Finish", L"12a4", L"C:\\x"}, false, false, false, 0, L""},
      {{L"u.exe", L"/Finish", L"1234"}, false, false, false, 0, L""},
      {{L"u.exe", L"/Finish", L"1234", L""}, false, false, false, 0, L""},
      {{L"u.exe", L"/Uninstallx", L"/SS"}, false, false, false, 0, L""},
  };
  for (const auto& c : cases) {
    const UninstallerOptions options = parseUninstallerOptions(c.arguments);
    const std::string label = testing::PrintToString(c.arguments);
    EXPECT_EQ(options.uninstall, c.uninstall) << label;
    EXPECT_EQ(options.silent, c.silent) << label;
    EXPECT_EQ(options.finish, c.finish) << label;
    EXPECT_EQ(options.originalProcess, c.process) << label;
    EXPECT_EQ(options.installFolder, c.folder) << label;
  }
}

}  // namespace
