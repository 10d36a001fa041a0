// The install folder page on the setup's own frame and folder page: the
// proposed folders, the browsed-folder rule, the shell's browser,
// and the check made when the user leaves the page.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "DialogHost.h"
#include "FolderPage.h"
#include "MessageBoxWatcher.h"
#include "Paths.h"
#include "ProcessWindows.h"
#include "TestFiles.h"
#include "TranslationTable.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

const std::wstring kBrowserCaption = L"\u30C6\u30B9\u30C8\u306E\u30C0\u30A4\u30A2\u30ED\u30B0";

INT_PTR CALLBACK quietDialogProcedure(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::wstring windowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

// This program's folder, worked out without the path helpers under test.
std::wstring ownFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.rfind(L'\\') + 1);
}

std::wstring programFilesFromEnvironment() {
  wchar_t folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", folder, MAX_PATH);
  return ensureTrailingBackslash(folder);
}

// Plays the user in front of the shell's folder browser: waits on its own
// thread for the browser of this process, notes it and its owner, and
// presses `button` on it.
class BrowserDriver {
 public:
  explicit BrowserDriver(int button) : button_(button) {
    thread_ = CreateThread(nullptr, 0, &BrowserDriver::run, this, 0, nullptr);
  }
  ~BrowserDriver() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  BrowserDriver(const BrowserDriver&) = delete;
  BrowserDriver& operator=(const BrowserDriver&) = delete;

  bool sawBrowser() const { return sawBrowser_.load(); }
  HWND owner() const { return owner_.load(); }
  // Whether the browser offered an edit box for typing a folder name.
  bool hadEditBox() const { return hadEditBox_.load(); }

 private:
  static BOOL CALLBACK findEdit(HWND window, LPARAM data) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpiW(className, L"Edit") == 0 && IsWindowVisible(window)) {
      *reinterpret_cast<bool*>(data) = true;
      return FALSE;
    }
    return TRUE;
  }

  static DWORD WINAPI run(void* self) {
    auto* driver = static_cast<BrowserDriver*>(self);
    while (!driver->stop_) {
      for (HWND browser : visibleDialogs(GetCurrentProcessId())) {
        if (windowText(browser) != kBrowserCaption) continue;
        HWND owner = GetWindow(browser, GW_OWNER);
        // Give the browser time to settle its preselection before answering.
        Sleep(300);
        bool edit = false;
        EnumChildWindows(browser, &BrowserDriver::findEdit, reinterpret_cast<LPARAM>(&edit));
        driver->hadEditBox_ = edit;
        driver->owner_ = owner;
        driver->sawBrowser_ = true;
        PostMessageW(browser, WM_COMMAND, MAKEWPARAM(driver->button_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(browser, driver->button_)));
        return 0;
      }
      Sleep(30);
    }
    return 0;
  }

  int button_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<HWND> owner_{nullptr};
  std::atomic<bool> hadEditBox_{false};
  std::atomic<bool> sawBrowser_{false};
};

class FolderPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HINSTANCE module = GetModuleHandleW(nullptr);
    frame_ = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_FRAME), nullptr, &quietDialogProcedure, 0);
    ASSERT_NE(frame_, nullptr);
    page_ = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_FOLDER_PAGE), frame_, &quietDialogProcedure, 0);
    ASSERT_NE(page_, nullptr);
    state_.frameWindow = frame_;
    state_.pages[Folder].window = page_;
  }

  void TearDown() override {
    state_.pages[Folder].window = nullptr;
    if (frame_ != nullptr) DestroyWindow(frame_);  // the page goes with it
  }

  std::wstring edit() const { return readFolderEdit(page_); }
  void type(const std::wstring& text) const { SetDlgItemTextW(page_, IDC_FOLDER_EDIT, text.c_str()); }
  bool ticked(int id) const { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
  void click(int id) const { SendMessageW(GetDlgItem(page_, id), BM_CLICK, 0, 0); }

  // The leave check with `folder` typed, as a user answering `button`.
  bool leaveWith(const std::wstring& folder, int button, std::vector<SeenBox>& seen) {
    type(folder);
    MessageBoxWatcher boxes(button);
    const bool accepted = folderPageLeaveCheck(state_, page_);
    seen = boxes.seen();
    return accepted;
  }

  HWND frame_ = nullptr;
  HWND page_ = nullptr;
  SetupState state_;
};

TEST_F(FolderPageTest, FirstVisitWithoutAnEarlierInstallProposesProgramFilesAndTicksOnlyAllUsers) {
  // The opposite of the defaults first, so that each one is seen to be set.
  click(IDC_FOLDER_PORTABLE);
  ASSERT_TRUE(ticked(IDC_FOLDER_PORTABLE));
  applyFolderPageDefaults(page_, proposedInstallFolder(EarlierInstall()));
  const std::wstring expected = programFilesFromEnvironment() + L"Tonvane Free\\";
  EXPECT_EQ(defaultFolder(), expected);
  EXPECT_EQ(edit(), expected);
  EXPECT_TRUE(ticked(IDC_FOLDER_ALL_USERS));
  EXPECT_FALSE(ticked(IDC_FOLDER_PORTABLE));
}

// Unticked, the box goes back to the folder the first visit proposed: over
// an earlier install, that install's folder.
TEST_F(FolderPageTest, ThePortableBoxSwitchesBetweenTheOwnFolderAndTheProposedOneDroppingTypedText) {
  EarlierInstall earlier;
  earlier.folder = L"D:\\Apps\\Mine\\";
  const std::wstring proposed = proposedInstallFolder(earlier);
  applyFolderPageDefaults(page_, proposed);
  EXPECT_EQ(edit(), earlier.folder);
  type(L"D:\\Typed by hand");
  click(IDC_FOLDER_PORTABLE);
  onPortableToggled(page_, proposed);
  EXPECT_EQ(edit(), ownFolder() + L"Tonvane Free\\");

  type(L"D:\\Typed again");
  click(IDC_FOLDER_PORTABLE);
  onPortableToggled(page_, proposed);
  EXPECT_EQ(edit(), earlier.folder);
  // The all-users box is left as it was, both times.
  EXPECT_TRUE(ticked(IDC_FOLDER_ALL_USERS));
}

// What `change` makes of each folder text, against the text expected.
void expectFolders(std::wstring (*change)(const std::wstring&),
                   std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> cases) {
  for (const auto& c : cases) EXPECT_EQ(change(c.first), c.second) << c.first;
}

// Chosen in the browser, shown in the edit box.
TEST(BrowsedInstallFolder, AddsTheFolderNameUnlessThePathHasItInTheSameCase) {
  expectFolders(browsedInstallFolder, {
                                          {L"D:\\Apps", L"D:\\Apps\\Tonvane Free\\"},
                                          {L"E:\\", L"E:\\Tonvane Free\\"},
                                          {L"D:\\Apps\\Tonvane Free 2", L"D:\\Apps\\Tonvane Free 2\\"},
                                          {L"D:\\Tonvane Free\\Old", L"D:\\Tonvane Free\\Old\\"},
                                          {L"D:\\tonvane free", L"D:\\tonvane free\\Tonvane Free\\"},
                                          {L"", L"Tonvane Free\\"},
                                      });
}

// What the leave check makes of typed folders, worked out by hand: what
// Windows would quietly change is changed here, visibly, and what no folder
// can be is refused.
TEST(NormalizedInstallFolder, CleansWhatWindowsWouldChangeAndRefusesDevicesAndBadNames) {
  // Typed, and used.
  expectFolders(normalizedInstallFolder,
                {
                    {L"C:\\Program Files\\Tonvane Free\\", L"C:\\Program Files\\Tonvane Free\\"},
                    {L"D:\\Apps\\Tonvane Free ", L"D:\\Apps\\Tonvane Free"},
                    {L"D:\\Apps\\Tonvane Free\\ ", L"D:\\Apps\\Tonvane Free\\"},
                    {L"C:/Apps/Tonvane Free", L"C:\\Apps\\Tonvane Free"},
                    {L"C:\\Apps. .\\Tonvane Free...\\", L"C:\\Apps\\Tonvane Free\\"},
                    {L"C:\\\\Apps\\\\\\Tonvane Free", L"C:\\Apps\\Tonvane Free"},
                    {L"C://Apps//", L"C:\\Apps\\"},
                    {L"\\\\server\\share\\Tonvane Free\\", L"\\\\server\\share\\Tonvane Free\\"},
                    {L"//server/share", L"\\\\server\\share"},
                    {L"e:\\", L"e:\\"},
                    {L"C:\\console\\com10\\lpt\\nul-free", L"C:\\console\\com10\\lpt\\nul-free"},
                });

  for (const wchar_t* refused : {L"",
                                 L"Tonvane Free",
                                 L"\\Apps",
                                 L"C:Apps",
                                 L"\\\\?\\C:\\Apps",
                                 L"\\\\.\\C:\\Apps",
                                 L"//?/C:/Apps",
                                 L"\\\\.\\PhysicalDrive0",
                                 L"C:\\CON",
                                 L"C:\\Apps\\nul.txt\\x",
                                 L"C:\\aux .log",
                                 L"C:\\Apps\\COM1",
                                 L"C:\\LPT9\\",
                                 L"C:\\prn.",
                                 L"C:\\Apps\\..\\Windows",
                                 L"C:\\Apps\\.\\x",
                                 L"C:\\a:b",
                                 L"C:\\Apps\\Tonvane|Free",
                                 L"C:\\Apps\\What?",
                                 L"C:\\Apps\\<x>",
                                 L"C:\\Apps\\tab\there",
                                 L"\\\\server",
                                 L"\\\\server\\ ",
                                 L"\\\\server\\\\share",
                                 L"\\\\\\share",
                                 L"\\\\.server\\share",
                                 L"1:\\Apps"})
    EXPECT_EQ(normalizedInstallFolder(refused), L"") << refused;
}

// An earlier install's InstallLocation, which any program may have written:
// proposed as held only when it is a full path on a drive that the leave
// check accepts and that the system can make.
TEST(EarlierInstallFolder, OnlyAFullDrivePathTheFolderPageAcceptsIsProposed) {
  const std::wstring longest = L"C:\\" + std::wstring(kLongestInstallFolder - 3, L'a');
  for (const std::wstring& kept : {std::wstring(L"C:\\Apps\\Mine"), std::wstring(L"d:\\Program Files\\Tonvane Free\\"),
                                   std::wstring(L"E:\\"), longest})
    EXPECT_EQ(earlierInstallFolder(kept), kept) << kept;

  for (const std::wstring& refused :
       {std::wstring(L""), std::wstring(L"Apps\\Mine"), std::wstring(L"\\Apps"), std::wstring(L"C:Apps"),
        std::wstring(L"\\\\server\\share\\Tonvane Free"), std::wstring(L"//server/share/x"),
        std::wstring(L"\\\\?\\C:\\Apps"), std::wstring(L"\\\\.\\C:\\Apps"), std::wstring(L"\\??\\C:\\Apps"),
        std::wstring(L"C:/Apps/Mine"), std::wstring(L"C:\\Apps/Mine"), std::wstring(L"C:\\Apps\\NUL"),
        std::wstring(L"C:\\Apps\\..\\Windows"), std::wstring(L"C:\\Apps\\a|b"),
        std::wstring(L"C:\\Apps\\line\r\nbreak"), std::wstring(L"1:\\Apps"), longest + L"a"})
    EXPECT_EQ(earlierInstallFolder(refused), L"") << refused;
}

TEST_F(FolderPageTest, TheLeaveCheckUsesAndShowsTheCleanedFolderAndRefusesDevices) {
  TempFolder parent;
  std::vector<SeenBox> seen;
  const std::wstring typed = parent.path() + L"Tonvane Free ";
  EXPECT_TRUE(leaveWith(typed, IDNO, seen));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(state_.installFolder, parent.path() + L"Tonvane Free");
  EXPECT_EQ(edit(), parent.path() + L"Tonvane Free");

  for (const wchar_t* folder : {L"\\\\?\\C:\\Tonvane Free", L"C:\\Apps\\CON\\Tonvane Free", L"C:\\Apps\\a*b"}) {
    seen.clear();
    EXPECT_FALSE(leaveWith(folder, IDOK, seen)) << folder;
    ASSERT_EQ(seen.size(), 1u) << folder;
    EXPECT_EQ(seen[0].text, translateText(L"Select the folder that you want to install."));
  }
}

TEST_F(FolderPageTest, AnExistingFolderAsksAndOnlyNoKeepsTheUserOnThePage) {
  TempFolder existing;
  const std::wstring caption = translateText(L"Tonvane Free Setup");
  const std::wstring question = translateText(L"Folder exists in the destination.") + L"\r\n" +
                                translateText(L"Do you want to overwrite install?");
  std::vector<SeenBox> seen;
  EXPECT_FALSE(leaveWith(existing.path(), IDNO, seen));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, caption);
  EXPECT_EQ(seen[0].text, question);

  EXPECT_TRUE(leaveWith(removeTrailingBackslash(existing.path()), IDYES, seen));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, question);
}

TEST_F(FolderPageTest, AMissingFolderAFileAndANetworkPathGoOnWithoutAQuestion) {
  TempFolder folder;
  writeBytes(folder / L"a file", "x");
  std::vector<SeenBox> seen;
  EXPECT_TRUE(leaveWith(folder / L"Tonvane Free\\", IDNO, seen));
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(leaveWith(folder / L"a file", IDNO, seen));
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(leaveWith(L"\\\\no-such-server\\share\\Tonvane Free\\", IDNO, seen));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(state_.installFolder, L"\\\\no-such-server\\share\\Tonvane Free\\");
}

TEST_F(FolderPageTest, AnEmptyOrRelativeFolderKeepsTheUserOnThePageWithOneMessage) {
  // The current folder holds a "Tonvane Free" directory, as the system folder
  // of an elevated setup might: the relative name must not pass as existing.
  TempFolder current;
  ASSERT_TRUE(CreateDirectoryW((current / L"Tonvane Free").c_str(), nullptr));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(current.path().c_str()));
  for (const wchar_t* folder : {L"", L"Tonvane Free\\", L"\\Tonvane Free", L"C:Tonvane Free"}) {
    std::vector<SeenBox> seen;
    EXPECT_FALSE(leaveWith(folder, IDOK, seen)) << folder;
    ASSERT_EQ(seen.size(), 1u) << folder;
    EXPECT_EQ(seen[0].caption, translateText(L"Tonvane Free Setup"));
    EXPECT_EQ(seen[0].text, translateText(L"Select the folder that you want to install."));
  }
  SetCurrentDirectoryW(previous);
}

TEST_F(FolderPageTest, TheLeaveCheckWritesTheChoicesAlsoWhenTheUserStays) {
  click(IDC_FOLDER_PORTABLE);
  std::vector<SeenBox> seen;
  ASSERT_FALSE(leaveWith(L"relative", IDOK, seen));
  EXPECT_EQ(state_.installFolder, L"relative");
  EXPECT_TRUE(state_.portable);
  EXPECT_FALSE(state_.allUsers);

  click(IDC_FOLDER_PORTABLE);
  click(IDC_FOLDER_ALL_USERS);
  TempFolder existing;
  ASSERT_FALSE(leaveWith(existing.path(), IDNO, seen));
  EXPECT_EQ(state_.installFolder, existing.path());
  EXPECT_FALSE(state_.portable);
  EXPECT_TRUE(state_.allUsers);
}

TEST_F(FolderPageTest, BrowseIgnoresAButtonOutsideTheFolderPage) {
  type(L"D:\\Apps");
  BrowserDriver driver(IDCANCEL);
  onBrowse(state_, GetDlgItem(frame_, 1000));
  onBrowse(state_, nullptr);
  EXPECT_FALSE(driver.sawBrowser());
  EXPECT_EQ(edit(), L"D:\\Apps");
}

TEST_F(FolderPageTest, CancellingTheBrowserLeavesTheFolderAsTyped) {
  TempFolder typed;
  type(typed.path());
  {
    BrowserDriver driver(IDCANCEL);
    onBrowse(state_, GetDlgItem(page_, IDC_FOLDER_BROWSE));
    EXPECT_TRUE(driver.sawBrowser());
    EXPECT_EQ(driver.owner(), frame_);
    // The common controls here are 5.0 or later: the resizable browser with
    // its edit box.
    EXPECT_TRUE(driver.hadEditBox());
  }
  EXPECT_EQ(edit(), typed.path());
}

TEST_F(FolderPageTest, ConfirmingTheBrowserOnThePreselectedFolderAddsTheFolderName) {
  TempFolder typed;
  type(removeTrailingBackslash(typed.path()));
  {
    BrowserDriver driver(IDOK);
    onBrowse(state_, GetDlgItem(page_, IDC_FOLDER_BROWSE));
    EXPECT_TRUE(driver.sawBrowser());
  }
  EXPECT_EQ(edit(), typed.path() + L"Tonvane Free\\");
}

}  // namespace
