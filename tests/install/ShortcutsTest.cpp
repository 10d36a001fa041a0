// The shortcut step on the real shell folders of the test prefix. ctest runs
// no two holders of the "shell_folders" lock at once, and every link, group
// and settings file a test makes there is removed before and after it.
//
// Links are read back through the shell here; copies of some of them go to
// a folder of the build tree, where the test "install_shortcuts_lnkinfo"
// reads them once more with Debian's lnkinfo (check-links-with-lnkinfo).
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "ProductIdentity.h"
#include "Resources.h"
#include "ShellLink.h"
#include "SetupInstallation.h"
#include "Shortcuts.h"
#include "TestFiles.h"
#include "TranslationTable.h"

using namespace tonvane;
using tonvane::test::LinkFields;
using tonvane::test::readLink;

namespace {

using Names = std::vector<std::wstring>;

const wchar_t kJapaneseDescription[] = L"\u6ce2\u5f62\u7de8\u96c6\u30a2\u30d7\u30ea\u30b1\u30fc\u30b7\u30e7\u30f3";
const wchar_t kJapaneseHelp[] = L"\u30aa\u30f3\u30e9\u30a4\u30f3\u30d8\u30eb\u30d7";
const wchar_t kJapaneseUninstall[] = L"\u30a2\u30f3\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb";

// The template, written out independently of the build's tool.
// Known to check-links-with-lnkinfo as well.
const wchar_t kInstallRoot[] = L"C:\\tonvane-shortcut-test\\";

const char kSettingsTemplate[] = "[Option]\r\nSetUpFolder=$Current\\\r\nStateFolder=$Current\\";

std::wstring shellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) return std::wstring();
  return std::wstring(buffer) + L"\\";
}

// Where this run's copies for lnkinfo go: one folder per system code page,
// since the English and the Japanese runs share the build tree.
std::wstring copiesFolder() {
  const std::string codePage = test::environment("TONVANE_EXPECT_ACP");
  return test::winePathOfUnixPath(TONVANE_LINK_COPIES_DIR) + L"\\acp" + std::wstring(codePage.begin(), codePage.end()) +
         L"\\";
}

void unloadTable() {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  table.clear();
}

class ShortcutStep : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    comReady_ = true;
    programs_ = shellFolder(CSIDL_PROGRAMS);
    commonPrograms_ = shellFolder(CSIDL_COMMON_PROGRAMS);
    desktop_ = shellFolder(CSIDL_DESKTOPDIRECTORY);
    commonDesktop_ = shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    sendTo_ = shellFolder(CSIDL_SENDTO);
    appData_ = shellFolder(CSIDL_APPDATA);
    for (const std::wstring* folder : {&programs_, &commonPrograms_, &desktop_, &commonDesktop_, &sendTo_, &appData_})
      ASSERT_FALSE(folder->empty());
    // The common and the per-user folders must differ, or the all-users
    // test could not tell them apart.
    ASSERT_NE(programs_, commonPrograms_);
    ASSERT_NE(desktop_, commonDesktop_);
    removeOurEntries();

    // A fixed place, so the lnkinfo check knows the targets it must find.
    test::removeTree(kInstallRoot);
    ASSERT_TRUE(CreateDirectoryW(kInstallRoot, nullptr));
    choices_.installFolder = std::wstring(kInstallRoot) + L"Tonvane Free";  // typed without backslash
    installFolder_ = choices_.installFolder + L"\\";
    ASSERT_TRUE(CreateDirectoryW(installFolder_.c_str(), nullptr));
    test::writeBytes(installFolder_ + L"Tonvane.exe", "program");
    test::writeBytes(installFolder_ + L"TonvaneUninstaller.exe", "uninstaller");
  }

  void TearDown() override {
    removeOurEntries();
    test::removeTree(kInstallRoot);
    unloadTable();
    if (comReady_) CoUninitialize();
  }

  // Only below folders the shell named: an empty one would turn these into
  // paths relative to the current folder.
  void removeOurEntries() {
    for (const std::wstring& folder : {programs_, commonPrograms_})
      if (!folder.empty()) test::removeTree(folder + L"Tonvane Free");
    for (const std::wstring& folder : {desktop_, commonDesktop_, sendTo_})
      if (!folder.empty()) DeleteFileW((folder + L"Tonvane Free.lnk").c_str());
    if (!sendTo_.empty()) DeleteFileW((sendTo_ + L"Tonvane test neighbour.lnk").c_str());
    if (!appData_.empty()) test::removeTree(appData_ + L"tonvanehome");
  }

  // A copy of a link for the lnkinfo check, under a plain ASCII name.
  void keepForLnkinfo(const std::wstring& link, const std::wstring& name) {
    const std::wstring folder = copiesFolder();
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(link.c_str(), (folder + name).c_str(), FALSE)) << name.c_str();
  }

  std::wstring program() const { return installFolder_ + L"Tonvane.exe"; }
  std::wstring uninstaller() const { return installFolder_ + L"TonvaneUninstaller.exe"; }

  bool comReady_ = false;
  std::wstring programs_, commonPrograms_, desktop_, commonDesktop_, sendTo_, appData_;
  test::TempFolder scratch_;
  std::wstring installFolder_;
  InstallChoices choices_;
};

void expectProgramLink(const std::wstring& link, const std::wstring& program, const std::wstring& description) {
  SCOPED_TRACE(link.c_str());
  const LinkFields fields = readLink(link);
  ASSERT_TRUE(fields.loaded);
  EXPECT_EQ(fields.path, program);
  EXPECT_EQ(fields.arguments, L"");
  EXPECT_EQ(fields.description, description);
}

TEST_F(ShortcutStep, MakesEveryChosenLinkForTheCurrentUser) {
  // An older link of the same name, pointing elsewhere, is replaced.
  ASSERT_TRUE(createShortcut(scratch_.path() + L"old.exe", desktop_ + L"Tonvane Free.lnk", L"old", L"/old"));
  choices_.startMenuShortcut = choices_.desktopShortcut = choices_.sendToShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));

  const std::wstring group = programs_ + L"Tonvane Free\\";
  EXPECT_EQ(test::listFolder(group), (Names{L"Online help.lnk", L"Tonvane Free.lnk", L"Uninstall.lnk"}));
  expectProgramLink(group + L"Tonvane Free.lnk", program(), L"Wave editing application");
  expectProgramLink(desktop_ + L"Tonvane Free.lnk", program(), L"Wave editing application");
  expectProgramLink(sendTo_ + L"Tonvane Free.lnk", program(), L"Wave editing application");

  const LinkFields uninstall = readLink(group + L"Uninstall.lnk");
  ASSERT_TRUE(uninstall.loaded);
  EXPECT_EQ(uninstall.path, uninstaller());
  EXPECT_EQ(uninstall.arguments, L"/Uninstall");
  EXPECT_EQ(uninstall.description, L"");

  // Wine's shell keeps a web address as a path below the current folder,
  // so only what survives that is checked: the address's own path.
  const LinkFields help = readLink(group + L"Online help.lnk");
  ASSERT_TRUE(help.loaded);
  EXPECT_NE(help.path.find(L"wordpress\\tonvane_help"), std::wstring::npos) << help.path.c_str();
  EXPECT_EQ(help.arguments, L"");
  EXPECT_EQ(help.description, L"");
  EXPECT_EQ(helpAddress(), vendorSite() + L"wordpress/tonvane_help/");

  // Nothing for all users.
  EXPECT_FALSE(test::folderExists(commonPrograms_ + L"Tonvane Free"));
  EXPECT_FALSE(test::fileExists(commonDesktop_ + L"Tonvane Free.lnk"));

  keepForLnkinfo(group + L"Tonvane Free.lnk", L"startmenu-program.lnk");
  keepForLnkinfo(group + L"Uninstall.lnk", L"startmenu-uninstall.lnk");
  keepForLnkinfo(desktop_ + L"Tonvane Free.lnk", L"desktop-program.lnk");
  keepForLnkinfo(sendTo_ + L"Tonvane Free.lnk", L"sendto-program.lnk");
}

TEST_F(ShortcutStep, PortableGroupHasNoUninstallLinkAndOnlyChosenLinksAppear) {
  choices_.portable = true;
  choices_.startMenuShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::listFolder(programs_ + L"Tonvane Free\\"), (Names{L"Online help.lnk", L"Tonvane Free.lnk"}));
  EXPECT_FALSE(test::fileExists(desktop_ + L"Tonvane Free.lnk"));
  EXPECT_FALSE(test::fileExists(sendTo_ + L"Tonvane Free.lnk"));

  // The desktop alone: no group either.
  removeOurEntries();
  choices_.startMenuShortcut = false;
  choices_.desktopShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_FALSE(test::folderExists(programs_ + L"Tonvane Free"));
  expectProgramLink(desktop_ + L"Tonvane Free.lnk", program(), L"Wave editing application");
}

TEST_F(ShortcutStep, AllUsersTakesTheCommonFoldersButTheUsersSendTo) {
  choices_.allUsers = true;
  choices_.startMenuShortcut = choices_.desktopShortcut = choices_.sendToShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));

  const std::wstring group = commonPrograms_ + L"Tonvane Free\\";
  EXPECT_EQ(test::listFolder(group), (Names{L"Online help.lnk", L"Tonvane Free.lnk", L"Uninstall.lnk"}));
  expectProgramLink(group + L"Tonvane Free.lnk", program(), L"Wave editing application");
  expectProgramLink(commonDesktop_ + L"Tonvane Free.lnk", program(), L"Wave editing application");
  expectProgramLink(sendTo_ + L"Tonvane Free.lnk", program(), L"Wave editing application");
  EXPECT_FALSE(test::folderExists(programs_ + L"Tonvane Free"));
  EXPECT_FALSE(test::fileExists(desktop_ + L"Tonvane Free.lnk"));
  keepForLnkinfo(commonDesktop_ + L"Tonvane Free.lnk", L"common-desktop-program.lnk");
}

TEST_F(ShortcutStep, DecliningSendToRemovesTheLinkOfAnEarlierInstallOnly) {
  ASSERT_TRUE(createShortcut(program(), sendTo_ + L"Tonvane Free.lnk", L"", L""));
  ASSERT_TRUE(createShortcut(program(), sendTo_ + L"Tonvane test neighbour.lnk", L"", L""));

  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_FALSE(test::fileExists(sendTo_ + L"Tonvane Free.lnk"));
  EXPECT_TRUE(test::fileExists(sendTo_ + L"Tonvane test neighbour.lnk"));

  // Nothing left to remove: still silent, still true.
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_TRUE(test::fileExists(sendTo_ + L"Tonvane test neighbour.lnk"));
}

TEST_F(ShortcutStep, JapaneseTableGivesJapaneseNamesAndDescriptions) {
  loadTranslationResource(IDR_JAPANESE_TABLE);
  choices_.startMenuShortcut = choices_.sendToShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));

  const std::wstring group = programs_ + L"Tonvane Free\\";
  const std::wstring help = std::wstring(kJapaneseHelp) + L".lnk";
  const std::wstring uninstall = std::wstring(kJapaneseUninstall) + L".lnk";
  Names expected{help, uninstall, L"Tonvane Free.lnk"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::listFolder(group), expected);
  expectProgramLink(group + L"Tonvane Free.lnk", program(), kJapaneseDescription);
  expectProgramLink(sendTo_ + L"Tonvane Free.lnk", program(), kJapaneseDescription);
  const LinkFields uninstallLink = readLink(group + uninstall);
  ASSERT_TRUE(uninstallLink.loaded);
  EXPECT_EQ(uninstallLink.path, uninstaller());
  EXPECT_EQ(uninstallLink.arguments, L"/Uninstall");

  keepForLnkinfo(group + L"Tonvane Free.lnk", L"japanese-startmenu-program.lnk");
  keepForLnkinfo(group + uninstall, L"japanese-startmenu-uninstall.lnk");
}

TEST_F(ShortcutStep, PortableWritesTheTemplateByteForByteOverAnEditedFile) {
  const ResourceBytes resource = loadResource(ResourceId::kText, IDR_SETTINGS_TEMPLATE);
  ASSERT_EQ(resource.size, 54u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(resource.data), resource.size), kSettingsTemplate);

  const std::wstring settings = installFolder_ + L"Tonvane.ini";
  test::writeBytes(settings, "[Option]\r\nSetUpFolder=D:\\Elsewhere\\\r\nStateFolder=D:\\Elsewhere\\\r\nEdited=1\r\n");
  choices_.portable = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::readBytes(settings), std::string(kSettingsTemplate));
  // The portable settings stay beside the program.
  EXPECT_FALSE(test::folderExists(appData_ + L"tonvanehome"));
}

TEST_F(ShortcutStep, OldSettingsMoveOnlyIntoAnExistingEmptyUserFolder) {
  const std::wstring settings = installFolder_ + L"Tonvane.ini";
  const std::wstring userFolder = appData_ + L"tonvanehome\\Tonvane\\";
  const std::string old = "[Option]\r\nSetUpFolder=$Current\\\r\nStateFolder=$Current\\\r\nKept=1";

  // No user folder: nothing is made, the file stays.
  test::writeBytes(settings, old);
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::readBytes(settings), old);
  EXPECT_FALSE(test::folderExists(appData_ + L"tonvanehome"));

  // A settings file already in the user folder is never replaced.
  ASSERT_TRUE(SHCreateDirectoryExW(nullptr, userFolder.c_str(), nullptr) == ERROR_SUCCESS);
  test::writeBytes(userFolder + L"Tonvane.ini", "user's own");
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::readBytes(settings), old);
  EXPECT_EQ(test::readBytes(userFolder + L"Tonvane.ini"), "user's own");

  // An existing, empty user folder takes the file.
  ASSERT_TRUE(DeleteFileW((userFolder + L"Tonvane.ini").c_str()));
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_FALSE(test::fileExists(settings));
  EXPECT_EQ(test::readBytes(userFolder + L"Tonvane.ini"), old);

  // Nothing to move: nothing changes.
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::readBytes(userFolder + L"Tonvane.ini"), old);
  EXPECT_FALSE(test::fileExists(settings));

  // The user folder as a link to a folder of somebody else's: the elevated
  // move is never led there.
  test::removeTree(appData_ + L"tonvanehome");
  ASSERT_TRUE(CreateDirectoryW((appData_ + L"tonvanehome").c_str(), nullptr));
  test::writeBytes(settings, old);
  const std::wstring elsewhere = scratch_ / L"elsewhere\\";
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  if (!test::makeFolderLink(userFolder, elsewhere)) GTEST_SKIP() << "no folder link can be made here";
  EXPECT_TRUE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::readBytes(settings), old);
  EXPECT_TRUE(test::listFolder(elsewhere).empty());
}

TEST_F(ShortcutStep, FoldersTheShellCannotNameAreSkippedNotTakenAsRelative) {
  test::TempFolder current;
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(current.path().c_str()));
  test::writeBytes(current / L"Tonvane Free.lnk", "not ours to delete");
  test::writeBytes(installFolder_ + L"Tonvane.ini", "old settings");

  choices_.startMenuShortcut = choices_.desktopShortcut = true;
  EXPECT_TRUE(createShortcutsAndSettings(choices_, ShellFolders{}));
  SetCurrentDirectoryW(previous);

  EXPECT_EQ(test::listFolder(current.path()), Names{L"Tonvane Free.lnk"});
  EXPECT_EQ(test::readBytes(current / L"Tonvane Free.lnk"), "not ours to delete");
  EXPECT_EQ(test::readBytes(installFolder_ + L"Tonvane.ini"), "old settings");
  EXPECT_FALSE(test::folderExists(programs_ + L"Tonvane Free"));
}

TEST_F(ShortcutStep, CreateShortcutReportsWhetherTheLinkWasSaved) {
  const std::wstring link = scratch_ / L"plain.lnk";
  ASSERT_TRUE(createShortcut(program(), link, L"", L""));
  const LinkFields fields = readLink(link);
  ASSERT_TRUE(fields.loaded);
  EXPECT_EQ(fields.path, program());
  EXPECT_EQ(fields.arguments, L"");
  EXPECT_EQ(fields.description, L"");

  // A target that does not exist (yet) is still a target.
  ASSERT_TRUE(createShortcut(scratch_ / L"later.exe", link, L"later", L"-x \"a b\""));
  const LinkFields later = readLink(link);
  EXPECT_EQ(later.path, scratch_ / L"later.exe");
  EXPECT_EQ(later.arguments, L"-x \"a b\"");
  EXPECT_EQ(later.description, L"later");

  EXPECT_FALSE(createShortcut(program(), scratch_ / L"missing\\folder\\x.lnk", L"", L""));
  EXPECT_FALSE(test::folderExists(scratch_ / L"missing"));
}

// The Send To folder is the user's: what stands at the link's name there
// may be a folder, or a link leading to an (empty) folder of somebody
// else's; the elevated setup deletes neither, nor anything behind them.
TEST_F(ShortcutStep, DecliningSendToNeverRemovesAFolderOrWhatALinkLeadsTo) {
  ShellFolders folders;
  folders.sendTo = scratch_ / L"sendto\\";
  ASSERT_TRUE(CreateDirectoryW(folders.sendTo.c_str(), nullptr));
  const std::wstring atName = folders.sendTo + L"Tonvane Free.lnk";
  test::MessageBoxWatcher boxes;

  ASSERT_TRUE(CreateDirectoryW(atName.c_str(), nullptr));
  EXPECT_TRUE(createShortcutsAndSettings(choices_, folders));
  EXPECT_TRUE(test::folderExists(atName));
  EXPECT_TRUE(boxes.seen().empty());
  ASSERT_TRUE(RemoveDirectoryW(atName.c_str()));

  const std::wstring outside = scratch_ / L"outside\\";
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  if (!test::makeFolderLink(atName, outside)) GTEST_SKIP() << "no folder link can be made here";
  EXPECT_TRUE(createShortcutsAndSettings(choices_, folders));
  EXPECT_TRUE(test::folderExists(outside));
}

// A program group folder of the user's that is a link to another
// program's group: the elevated setup writes nothing there.
TEST_F(ShortcutStep, AGroupFolderThatIsALinkElsewhereGetsNoLinks) {
  const std::wstring other = scratch_ / L"other group\\";
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
  test::writeBytes(other + L"Uninstall.lnk", "another program's link");
  if (!test::makeFolderLink(programs_ + L"Tonvane Free", other)) GTEST_SKIP() << "no folder link can be made here";
  choices_.startMenuShortcut = true;
  // Links that were chosen and not made fail the step.
  EXPECT_FALSE(createShortcutsAndSettings(choices_));
  EXPECT_EQ(test::listFolder(other), Names{L"Uninstall.lnk"});
  EXPECT_EQ(test::readBytes(other + L"Uninstall.lnk"), "another program's link");
  test::removeTree(programs_ + L"Tonvane Free");
}

TEST_F(ShortcutStep, SpecialFolderPathHasNoTrailingBackslashAndFailsEmpty) {
  const std::wstring sendTo = specialFolderPath(CSIDL_SENDTO);
  EXPECT_EQ(sendTo + L"\\", sendTo_);
  EXPECT_TRUE(test::folderExists(sendTo));
  EXPECT_EQ(specialFolderPath(0x7F), L"");
}

}  // namespace
