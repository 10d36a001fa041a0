// The setup program as its user meets it: started as its own process, driven
// by control ids, its message boxes read and answered, and what it left
// behind checked with the system's APIs. The program runs on an English and
// on a Japanese system; every text a test expects is taken in the language
// the setup must show there.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ProductIdentity.h"
#include "RegistryKey.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "UrlRecorder.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr const wchar_t* kMutexName = L"TonvaneSetup";
const wchar_t kToolbarPresenceKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Yahoo!\u30C4\u30FC\u30EB\u30D0\u30FC";
const wchar_t kPluginPresenceKey[] = L"CLSID\\{B83FC273-3522-4CC6-92EC-75CC86678DA4}";

std::wstring setupFolder() {
  const std::wstring program = setupProgramPath();
  return program.substr(0, program.rfind(L'\\') + 1);
}

// A partner product made present for one test.
class PresentProduct {
 public:
  PresentProduct(HKEY root, const wchar_t* subkey) : root_(root), subkey_(subkey) {
    RegistryKey key;
    status_ = key.create(root, subkey);
    if (status_ == ERROR_SUCCESS) status_ = key.setString(L"", L"present");
  }
  ~PresentProduct() { RegDeleteTreeW(root_, subkey_); }
  PresentProduct(const PresentProduct&) = delete;
  PresentProduct& operator=(const PresentProduct&) = delete;
  LONG status() const { return status_; }

 private:
  HKEY root_;
  const wchar_t* subkey_;
  LONG status_;
};

struct Buttons {
  ButtonState next, back, cancel, yes, no, close, ok;
};

std::string describe(const ButtonState& state) {
  return !state.visible ? "hidden" : state.enabled ? "enabled" : "disabled";
}

constexpr ButtonState kHidden{false, false};
constexpr ButtonState kEnabled{true, true};
constexpr ButtonState kDisabled{true, false};

// The button row of the current page against the expected one, button by
// button, so that a failure names the button.
void expectButtons(SetupRun& run, const char* page, const Buttons& expected) {
  const struct {
    const char* name;
    int id;
    ButtonState state;
  } rows[] = {{"Next", IDC_FRAME_NEXT, expected.next},
              {"Back", IDC_FRAME_BACK, expected.back},
              {"Cancel", IDC_FRAME_CANCEL, expected.cancel},
              {"Yes", IDC_FRAME_YES, expected.yes},
              {"No", IDC_FRAME_NO, expected.no},
              {"Close", IDC_FRAME_CLOSE, expected.close},
              {"OK", IDC_FRAME_TERMS_OK, expected.ok}};
  for (const auto& row : rows) {
    const ButtonState actual = run.button(row.id);
    // A hidden button's enabled state is nobody's business.
    const bool same = actual.visible == row.state.visible && (!actual.visible || actual.enabled == row.state.enabled);
    EXPECT_TRUE(same) << page << ": " << row.name << " is " << describe(actual) << ", expected " << describe(row.state);
  }
}

const Buttons kFirstPagesButtons{kEnabled, kEnabled, kEnabled, kHidden, kHidden, kHidden, kHidden};
const Buttons kOffersButtons{kHidden, kHidden, kDisabled, kEnabled, kEnabled, kHidden, kHidden};
const Buttons kCompleteButtons{kHidden, kDisabled, kDisabled, kHidden, kHidden, kEnabled, kHidden};
const Buttons kTermsButtons{kHidden, kHidden, kHidden, kHidden, kHidden, kHidden, kEnabled};

// A TEXT resource of the setup program, read from the file and decoded as
// the Shift-JIS it is.
std::wstring setupTermsText(unsigned id) {
  const std::string bytes = setupResource(L"TEXT", id);
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<std::size_t>(MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                           &text[0], static_cast<int>(text.size()))));
  return text;
}

// The pixels of the frame's header band (its client area's top 60 rows) as
// the screen shows them.
std::string headerPixels(HWND frame) {
  RECT client = {};
  GetClientRect(frame, &client);
  POINT origin = {0, 0};
  ClientToScreen(frame, &origin);
  const int width = client.right;
  const int height = 60;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::string pixels;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    pixels.assign(static_cast<const char*>(bits), static_cast<std::size_t>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

class SetupRunTest : public SetupSandbox {
 protected:
  std::string openedAddress(DWORD milliseconds) { return waitForFile(urlRecord_, milliseconds); }
};

// The typical run: defaults everywhere, No to the offers, Close with the
// press-release box ticked; on the way, the button row of every page and a
// second copy that is turned away.
TEST_F(SetupRunTest, TypicalRunInstallsAndEndsWithCloseAndThePressReleasePage) {
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  EXPECT_TRUE(mutexExists(kMutexName));
  expectButtons(run, "Welcome", {kEnabled, kDisabled, kEnabled, kHidden, kHidden, kHidden, kHidden});

  {
    SetupRun second;
    ASSERT_TRUE(second.start());
    EXPECT_EQ(second.waitForExit(30000), 1u);
  }
  EXPECT_EQ(run.exitCode(), static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  expectButtons(run, "Folder", kFirstPagesButtons);
  EXPECT_EQ(windowText(run.control(IDC_FOLDER_EDIT)), defaultInstallFolder());
  EXPECT_TRUE(run.isChecked(IDC_FOLDER_ALL_USERS));
  EXPECT_FALSE(run.isChecked(IDC_FOLDER_PORTABLE));

  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  expectButtons(run, "Shortcuts", kFirstPagesButtons);
  EXPECT_TRUE(run.isChecked(IDC_SHORTCUTS_START_MENU));
  EXPECT_TRUE(run.isChecked(IDC_SHORTCUTS_DESKTOP));
  EXPECT_FALSE(run.isChecked(IDC_SHORTCUTS_SEND_TO));

  ASSERT_TRUE(nextTo(run, SetupPage::Offers, 120000));
  expectButtons(run, "Offers", kOffersButtons);
  EXPECT_TRUE(run.isChecked(IDC_OFFERS_TOOLBAR));
  EXPECT_TRUE(run.isChecked(IDC_OFFERS_PLUGIN));
  ASSERT_TRUE(declineOffers(run));
  expectButtons(run, "Complete", kCompleteButtons);
  EXPECT_TRUE(run.isChecked(IDC_COMPLETE_PRESS_RELEASE));
  run.click(IDC_FRAME_CLOSE);
  EXPECT_EQ(run.waitForExit(), 1u);
  EXPECT_FALSE(mutexExists(kMutexName));

  const std::wstring installed = defaultInstallFolder();
  EXPECT_TRUE(fileExists(installed + L"Tonvane.exe"));
  EXPECT_TRUE(fileExists(installed + L"install.log"));
  EXPECT_TRUE(fileExists(installed + L"TonvaneUninstaller.exe"));
  EXPECT_EQ(entryValue(L"DisplayName"), L"Tonvane Free");
  EXPECT_EQ(entryValue(L"DisplayVersion"), L"5.2.1.1");
  EXPECT_EQ(entryValue(L"InstallLocation"), installed);
  EXPECT_TRUE(fileExists(shellFolder(CSIDL_COMMON_PROGRAMS) + L"Tonvane Free\\Tonvane Free.lnk"));
  const HRESULT com = CoInitialize(nullptr);
  const LinkFields desktop = readLink(shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"Tonvane Free.lnk");
  EXPECT_TRUE(desktop.loaded);
  EXPECT_EQ(desktop.path, installed + L"Tonvane.exe");
  EXPECT_EQ(desktop.description, shown(L"Wave editing application"));
  if (SUCCEEDED(com)) CoUninitialize();
  EXPECT_FALSE(fileExists(shellFolder(CSIDL_SENDTO) + L"Tonvane Free.lnk"));
  // No was the answer: no partner installer ran.
  EXPECT_FALSE(fileExists(partnerLog_));

  const std::wstring expected = vendorSite() + L"press_release.php?file_name=tonvanesetup.exe";
  EXPECT_EQ(openedAddress(30000), std::string(expected.begin(), expected.end()));
  // Opened by the desktop's shell, as the desktop's user, not by the setup.
  const Opener opener = openerOf(urlRecord_);
  EXPECT_NE(opener.processId, 0u);
  EXPECT_NE(opener.processId, run.processId());
}

// Typed text survives Back and Next; the portable box rewrites the folder;
// the Shortcuts page keeps its first-visit defaults; Cancel asks first.
TEST_F(SetupRunTest, BackAndNextKeepWhatWasTypedAndCancelAsksBeforeEnding) {
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  const std::wstring typed = L"C:\\Somewhere Else\\Tonvane\\";
  run.typeInto(IDC_FOLDER_EDIT, typed);
  run.click(IDC_FRAME_BACK);
  ASSERT_TRUE(run.waitForPage(SetupPage::Welcome));
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  EXPECT_EQ(windowText(run.control(IDC_FOLDER_EDIT)), typed);

  ASSERT_TRUE(clickBox(run, IDC_FOLDER_PORTABLE, true));
  EXPECT_TRUE(waitUntil([&] { return windowText(run.control(IDC_FOLDER_EDIT)) == setupFolder() + L"Tonvane Free\\"; }))
      << "folder: " << testing::PrintToString(windowText(run.control(IDC_FOLDER_EDIT)));
  run.click(IDC_FOLDER_PORTABLE);
  EXPECT_TRUE(waitUntil([&] { return windowText(run.control(IDC_FOLDER_EDIT)) == defaultInstallFolder(); }));

  // First visit of Shortcuts with the portable box ticked: no links proposed.
  ASSERT_TRUE(clickBox(run, IDC_FOLDER_PORTABLE, true));
  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  EXPECT_FALSE(run.isChecked(IDC_SHORTCUTS_START_MENU));
  EXPECT_FALSE(run.isChecked(IDC_SHORTCUTS_DESKTOP));
  run.click(IDC_FRAME_BACK);
  ASSERT_TRUE(run.waitForPage(SetupPage::Folder));
  EXPECT_TRUE(run.isChecked(IDC_FOLDER_PORTABLE));
  ASSERT_TRUE(clickBox(run, IDC_FOLDER_PORTABLE, false));
  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  // Not recomputed on the second visit.
  EXPECT_FALSE(run.isChecked(IDC_SHORTCUTS_START_MENU));
  EXPECT_FALSE(run.isChecked(IDC_SHORTCUTS_DESKTOP));

  // Cancel, then Cancel in the question: nothing changes.
  run.click(IDC_FRAME_CANCEL);
  HWND box = run.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup"));
  EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"Are you sure you want to exit the setup?"));
  EXPECT_TRUE(SetupRun::hasButton(box, IDOK));
  EXPECT_TRUE(SetupRun::hasButton(box, IDCANCEL));
  ASSERT_TRUE(SetupRun::answer(box, IDCANCEL));
  ASSERT_TRUE(run.waitForPage(SetupPage::Shortcuts));
  EXPECT_EQ(run.exitCode(), static_cast<DWORD>(STILL_ACTIVE));
  expectButtons(run, "Shortcuts after a kept Cancel", kFirstPagesButtons);

  EXPECT_TRUE(cancelConfirmed(run));
  EXPECT_FALSE(mutexExists(kMutexName));
  EXPECT_FALSE(folderExists(defaultInstallFolder()));
  EXPECT_FALSE(entryExists());
  EXPECT_EQ(openedAddress(1000), "");
}

// The folder page keeps the user there for an empty or relative folder, and
// asks before installing over an existing one.
TEST_F(SetupRunTest, FolderPageRefusesEmptyAndRelativeFoldersAndAsksBeforeOverwriting) {
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));

  for (const std::wstring& folder : {std::wstring(), std::wstring(L"Tonvane Free\\")}) {
    run.typeInto(IDC_FOLDER_EDIT, folder);
    run.click(IDC_FRAME_NEXT);
    HWND box = run.waitForMessageBox();
    ASSERT_NE(box, nullptr) << "no refusal for " << testing::PrintToString(folder);
    EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"Select the folder that you want to install."));
    EXPECT_TRUE(SetupRun::hasButton(box, IDOK));
    ASSERT_TRUE(SetupRun::answer(box, IDOK));
    EXPECT_EQ(run.currentPage(), SetupPage::Folder);
  }

  TempFolder existing;
  run.typeInto(IDC_FOLDER_EDIT, existing.path());
  run.click(IDC_FRAME_NEXT);
  HWND box = run.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SetupRun::messageBoxText(box),
            shown(L"Folder exists in the destination.") + L"\r\n" + shown(L"Do you want to overwrite install?"));
  EXPECT_TRUE(SetupRun::hasButton(box, IDYES));
  EXPECT_TRUE(SetupRun::hasButton(box, IDNO));
  ASSERT_TRUE(SetupRun::answer(box, IDNO));
  Sleep(300);
  EXPECT_EQ(run.currentPage(), SetupPage::Folder);

  ASSERT_TRUE(nextOverExistingFolder(run));
  EXPECT_TRUE(cancelConfirmed(run));
  EXPECT_TRUE(listFolder(existing.path()).empty());
}

// With both partner products present the offers are not made; Close with
// the press-release box unticked opens nothing.
TEST_F(SetupRunTest, BothOffersPresentGoStraightToCompleteAndAnUntickedBoxOpensNothing) {
  PresentProduct toolbar(HKEY_LOCAL_MACHINE, kToolbarPresenceKey);
  PresentProduct plugin(HKEY_CLASSES_ROOT, kPluginPresenceKey);
  ASSERT_EQ(toolbar.status(), ERROR_SUCCESS);
  ASSERT_EQ(plugin.status(), ERROR_SUCCESS);

  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  ASSERT_TRUE(nextThroughInstall(run, SetupPage::Complete));
  EXPECT_EQ(run.pageWindow(SetupPage::Offers), nullptr) << "the offers page was made";
  expectButtons(run, "Complete", kCompleteButtons);
  EXPECT_TRUE(closeWithoutPressRelease(run));
  EXPECT_TRUE(fileExists(defaultInstallFolder() + L"Tonvane.exe"));
  EXPECT_EQ(openedAddress(3000), "");
}

// One product present: its box is unticked and disabled. A terms view and
// OK bring the page back as it was left; Yes runs the accepted installer
// only. Cancel is disabled from here on, yet the dialog manager's IDCANCEL
// (Escape) still asks and ends the wizard with 2 although the install is done.
TEST_F(SetupRunTest, OnePresentOfferTermsViewsAndYesRunOnlyTheAcceptedInstaller) {
  PresentProduct toolbar(HKEY_LOCAL_MACHINE, kToolbarPresenceKey);
  ASSERT_EQ(toolbar.status(), ERROR_SUCCESS);

  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  ASSERT_TRUE(nextThroughInstall(run));
  EXPECT_FALSE(run.isChecked(IDC_OFFERS_TOOLBAR));
  EXPECT_FALSE(run.isEnabled(IDC_OFFERS_TOOLBAR));
  EXPECT_TRUE(run.isChecked(IDC_OFFERS_PLUGIN));
  EXPECT_TRUE(run.isEnabled(IDC_OFFERS_PLUGIN));

  ASSERT_TRUE(clickBox(run, IDC_OFFERS_PLUGIN, false));

  // The header's title follows the page: each terms view has its own, and
  // the Offers page's comes back with the page.
  Sleep(300);
  const std::string offersHeader = headerPixels(run.frame());
  ASSERT_FALSE(offersHeader.empty());
  std::wstring termsTexts[2];
  std::string termsHeaders[2];
  const int termsButtons[2] = {IDC_OFFERS_TOOLBAR_TERMS, IDC_OFFERS_PLUGIN_TERMS};
  for (int i = 0; i < 2; ++i) {
    run.click(termsButtons[i]);
    ASSERT_TRUE(run.waitForPage(SetupPage::Terms));
    expectButtons(run, "Terms", kTermsButtons);
    termsTexts[i] = windowText(run.pageWindow(SetupPage::Terms));
    EXPECT_GT(termsTexts[i].size(), 100u);
    // As stored, Shift-JIS, whatever the system's code page.
    EXPECT_EQ(termsTexts[i], setupTermsText(i == 0 ? IDR_TOOLBAR_TERMS : IDR_PLUGIN_TERMS)) << "terms view " << i;
    Sleep(300);
    termsHeaders[i] = headerPixels(run.frame());
    EXPECT_NE(termsHeaders[i], offersHeader) << "terms view " << i << " kept the Offers title";
    run.click(IDC_FRAME_TERMS_OK);
    ASSERT_TRUE(run.waitForPage(SetupPage::Offers));
    EXPECT_FALSE(run.isChecked(IDC_OFFERS_TOOLBAR));
    EXPECT_FALSE(run.isEnabled(IDC_OFFERS_TOOLBAR));
    EXPECT_FALSE(run.isChecked(IDC_OFFERS_PLUGIN));
    Sleep(300);
    EXPECT_EQ(headerPixels(run.frame()), offersHeader) << "after terms view " << i;
  }
  EXPECT_NE(termsHeaders[0], termsHeaders[1]) << "both terms views showed the same title";

  ASSERT_TRUE(clickBox(run, IDC_OFFERS_PLUGIN, true));
  run.click(IDC_FRAME_YES);
  ASSERT_TRUE(run.waitForPage(SetupPage::Complete));
  const std::string log = readBytes(partnerLog_);
  EXPECT_NE(log.find("/S quorvatine quorvatine__soft"), std::string::npos) << log;
  // One line: the plug-in's, not the toolbar's.
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;

  PostMessageW(run.frame(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  HWND box = run.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(SetupRun::answer(box, IDOK));
  EXPECT_EQ(run.waitForExit(), 2u);
  EXPECT_TRUE(fileExists(defaultInstallFolder() + L"Tonvane.exe"));
  EXPECT_TRUE(entryExists());
}

TEST_F(SetupRunTest, AFailedInstallShowsItsMessageAndEndsWithTwo) {
  // A drive that does not exist: nothing of the archive can be written.
  ASSERT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  run.typeInto(IDC_FOLDER_EDIT, L"Q:\\Tonvane Free\\");
  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  run.click(IDC_FRAME_NEXT);
  HWND box = run.waitForMessageBox(120000);
  ASSERT_NE(box, nullptr);
  // The box is the job's, still on the Progress page, whose button row the
  // wizard set for the job: only Cancel, which stops the job and undoes
  // what it did, is enabled.
  EXPECT_EQ(run.currentPage(), SetupPage::Progress);
  expectButtons(run, "Progress", {kDisabled, kDisabled, kEnabled, kHidden, kHidden, kHidden, kHidden});
  EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup"));
  EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"Failed to install."));
  ASSERT_TRUE(SetupRun::answer(box, IDOK));
  EXPECT_EQ(run.waitForExit(), 2u);
  EXPECT_FALSE(entryExists());
  EXPECT_FALSE(mutexExists(kMutexName));
}

// The interface language: Japanese by "/lang:jpn" or on a Japanese system
// (unless "/lang:eng" asks for English), on the buttons and on the pages.
TEST_F(SetupRunTest, TheInterfaceLanguageFollowsTheCommandLineAndTheSystem) {
  struct Case {
    const wchar_t* arguments;
    bool japanese;
  } cases[] = {{L"", japaneseSystem()}, {L"/lang:jpn", true}, {L"/LANG:ENG", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.arguments)));
    SetupRun run;
    ASSERT_TRUE(startInSandbox(run, c.arguments));
    EXPECT_EQ(windowText(run.control(IDC_FRAME_NEXT)), shown(L"&Next >", c.japanese));
    EXPECT_EQ(windowText(run.control(IDC_FRAME_BACK)), shown(L"< &Back", c.japanese));
    EXPECT_EQ(windowText(run.control(IDC_FRAME_CANCEL)), shown(L"&Cancel", c.japanese));
    EXPECT_EQ(windowText(run.control(IDC_FRAME_YES)), shown(L"&Yes", c.japanese));
    // The frame's caption has no translation and stays.
    EXPECT_EQ(windowText(run.frame()), L"Tonvane Free");
    ASSERT_TRUE(nextTo(run, SetupPage::Folder));
    EXPECT_EQ(windowText(run.control(IDC_FOLDER_ALL_USERS)), shown(L"Install for all users", c.japanese));
    EXPECT_EQ(windowText(run.control(IDC_FOLDER_BROWSE)), shown(L"&Reference...", c.japanese));
    ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
    EXPECT_EQ(windowText(run.control(IDC_SHORTCUTS_SEND_TO)), shown(L"Send To Menu", c.japanese));

    run.click(IDC_FRAME_CANCEL);
    HWND box = run.waitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SetupRun::messageBoxCaption(box), shown(L"Tonvane Free Setup", c.japanese));
    EXPECT_EQ(SetupRun::messageBoxText(box), shown(L"Are you sure you want to exit the setup?", c.japanese));
    ASSERT_TRUE(SetupRun::answer(box, IDOK));
    EXPECT_EQ(run.waitForExit(), 2u);
  }
}

}  // namespace
