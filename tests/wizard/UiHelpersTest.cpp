// Window helpers on real windows: centring, point fonts, the owner guard,
// ampersand escaping, and opening a web address through the desktop's shell.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DesktopShell.h"
#include "MessageBoxWatcher.h"
#include "UrlRecorder.h"
#include "Paths.h"
#include "RegistryKey.h"
#include "ResourceIds.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "TranslationTable.h"
#include "UiHelpers.h"
#include "WindowPlacement.h"

using namespace tonvane;

namespace {

RECT workArea() {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

// A hidden top-level popup of the given size; the caller destroys it.
HWND popup(int width, int height, HWND owner = nullptr, DWORD extraStyle = 0) {
  return CreateWindowExW(0, L"STATIC", L"", WS_POPUP | extraStyle, 3, 5, width, height, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

RECT rectOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

TEST(Centring, ASmallWindowIsCentredOnTheWorkAreaAndALargeOneKeptAtItsLeftAndTop) {
  const RECT area = workArea();
  ASSERT_GT(area.right - area.left, 400);

  HWND small = popup(201, 101);
  ASSERT_NE(small, nullptr);
  centerOnWorkArea(small);
  RECT placed = rectOf(small);
  EXPECT_EQ(placed.left, (area.left + area.right) / 2 - 100);
  EXPECT_EQ(placed.top, (area.top + area.bottom) / 2 - 50);
  EXPECT_EQ(placed.right - placed.left, 201);  // size unchanged
  EXPECT_EQ(placed.bottom - placed.top, 101);
  DestroyWindow(small);

  HWND large = popup(area.right - area.left + 300, area.bottom - area.top + 200);
  ASSERT_NE(large, nullptr);
  centerOnWorkArea(large);
  placed = rectOf(large);
  EXPECT_EQ(placed.left, area.left);
  EXPECT_EQ(placed.top, area.top);
  EXPECT_EQ(placed.right - placed.left, area.right - area.left + 300);
  DestroyWindow(large);
}

TEST(Centring, AVisibleOwnerIsTheReferenceAndAChildCentresInItsParent) {
  const RECT area = workArea();
  HWND owner = popup(300, 200, nullptr, WS_VISIBLE);
  ASSERT_NE(owner, nullptr);
  SetWindowPos(owner, nullptr, area.left + 10, area.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const RECT ownerRect = rectOf(owner);

  HWND owned = popup(100, 60, owner);
  ASSERT_NE(owned, nullptr);
  centerOnWorkArea(owned);
  RECT placed = rectOf(owned);
  EXPECT_EQ(placed.left, (ownerRect.left + ownerRect.right) / 2 - 50);
  EXPECT_EQ(placed.top, (ownerRect.top + ownerRect.bottom) / 2 - 30);

  // Wider than the owner and the owner near the work area's left edge: the
  // work area, not the owner, limits it.
  HWND wide = popup(600, 60, owner);
  ASSERT_NE(wide, nullptr);
  centerOnWorkArea(wide);
  EXPECT_EQ(rectOf(wide).left, area.left);

  HWND child =
      CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 50, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(child, nullptr);
  centerOnWorkArea(child);
  RECT client = {};
  GetClientRect(owner, &client);
  placed = rectOf(child);
  MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, client.right / 2 - 50);
  EXPECT_EQ(placed.top, client.bottom / 2 - 25);
  DestroyWindow(owner);
}

TEST(Ampersands, EachIsReplacedOnceAndCounted) {
  struct Case {
    const wchar_t* text;
    const wchar_t* escaped;
    int count;
  } cases[] = {
      {L"", L"", 0},
      {L"http://a.example/x", L"http://a.example/x", 0},
      {L"a&b", L"a%26b", 1},
      {L"&", L"%26", 1},
      {L"&&x&", L"%26%26x%26", 3},
      {L"%26&", L"%26%26", 1},  // the inserted text is not scanned again
  };
  for (const Case& c : cases) {
    std::wstring text = c.text;
    EXPECT_EQ(escapeAmpersands(text), c.count) << c.text;
    EXPECT_EQ(text, c.escaped);
  }
}

TEST(PointFonts, HeightIsInTenthsOfAPointAsACharacterHeight) {
  LOGFONTW description = {};
  description.lfHeight = 120;
  description.lfWeight = FW_BOLD;
  wcscpy(description.lfFaceName, L"Tahoma");

  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  HFONT font = createPointFont(description);
  ASSERT_NE(font, nullptr);
  LOGFONTW made = {};
  ASSERT_EQ(GetObjectW(font, sizeof made, &made), static_cast<int>(sizeof made));
  EXPECT_EQ(made.lfHeight, -MulDiv(dpi, 120, 720));
  if (dpi == 96) {
    EXPECT_EQ(made.lfHeight, -16);
  }
  EXPECT_EQ(made.lfWeight, FW_BOLD);
  EXPECT_STREQ(made.lfFaceName, L"Tahoma");
  DeleteObject(font);

  // A mapping mode whose y axis points up still gives a character height.
  HDC memory = CreateCompatibleDC(nullptr);
  SetMapMode(memory, MM_LOENGLISH);
  font = createPointFont(description, memory);
  ASSERT_NE(font, nullptr);
  GetObjectW(font, sizeof made, &made);
  const int pixels = MulDiv(GetDeviceCaps(memory, LOGPIXELSY), 120, 720);
  const int hundredthsOfAnInch = MulDiv(pixels, 100, GetDeviceCaps(memory, LOGPIXELSY));
  EXPECT_LE(made.lfHeight, -(hundredthsOfAnInch - 1));
  EXPECT_GE(made.lfHeight, -(hundredthsOfAnInch + 1));
  DeleteObject(font);
  DeleteDC(memory);
}

TEST(OwnerGuard, DisablesOnlyWhatItFoundEnabledAndNeverTheDesktop) {
  HWND owner = popup(50, 50);
  ASSERT_NE(owner, nullptr);
  {
    OwnerDisableGuard guard;
    guard.begin(owner);
    EXPECT_EQ(guard.window(), owner);
    EXPECT_FALSE(IsWindowEnabled(owner));
  }
  EXPECT_TRUE(IsWindowEnabled(owner));

  EnableWindow(owner, FALSE);
  {
    OwnerDisableGuard guard;
    guard.begin(owner);
    guard.end();
    EXPECT_FALSE(IsWindowEnabled(owner));  // it was disabled before
  }
  DestroyWindow(owner);

  OwnerDisableGuard guard;
  guard.begin(owner);  // no longer a window
  EXPECT_EQ(guard.window(), GetDesktopWindow());
  EXPECT_TRUE(IsWindowEnabled(GetDesktopWindow()));
  guard.end();
  EXPECT_TRUE(IsWindowEnabled(GetDesktopWindow()));
}

TEST(OpenUrl, RunsTheHttpCommandWithTheAddressEscapedAndNothingWithoutAnOwner) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  test::TempFolder folder;
  const std::wstring record = folder / L"opened.txt";
  const std::wstring before = test::currentHttpCommand();
  {
    test::HttpHandlerSwap swap(test::urlRecorderCommand(record));
    ASSERT_EQ(swap.status(), ERROR_SUCCESS);

    // A guard that holds no window: nothing is started.
    OwnerDisableGuard unset;
    EXPECT_FALSE(openUrl(L"http://marrowfen.example/a", unset));

    OwnerDisableGuard guard;
    guard.begin(GetDesktopWindow());
    EXPECT_TRUE(openUrl(L"http://marrowfen.example/press_release.php?file_name=a&b.exe", guard));
    EXPECT_EQ(test::waitForFile(record, 20000), "http://marrowfen.example/press_release.php?file_name=a%26b.exe");
    // With COM on this thread and a desktop shell running, the page was
    // opened by the desktop's process, not by this one.
    const test::Opener opener = test::openerOf(record);
    EXPECT_NE(opener.processId, 0u);
    EXPECT_NE(opener.processId, GetCurrentProcessId()) << "opened by this process itself";
  }
  EXPECT_EQ(test::currentHttpCommand(), before);
  if (SUCCEEDED(com)) CoUninitialize();
}

// The desktop's shell starts the browser in its own process, the one that
// runs the desktop: as the desktop's user, whatever rights the caller has.
TEST(OpenAsDesktopUser, StartsTheAddressFromTheDesktopShellsProcess) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // A window of this process makes sure the desktop's shell runs, as the
  // setup's frame does.
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  test::TempFolder folder;
  const std::wstring record = folder / L"opened.txt";
  {
    test::HttpHandlerSwap swap(test::urlRecorderCommand(record));
    ASSERT_EQ(swap.status(), ERROR_SUCCESS);
    EXPECT_EQ(openAsDesktopUser(L"http://marrowfen.example/desktop?a=1%262"), S_OK);
    EXPECT_EQ(test::waitForFile(record, 20000), "http://marrowfen.example/desktop?a=1%262");
    const test::Opener opener = test::openerOf(record);
    EXPECT_NE(opener.processId, 0u);
    EXPECT_NE(opener.processId, GetCurrentProcessId());
    EXPECT_EQ(CompareStringOrdinal(opener.name.c_str(), -1, L"explorer.exe", -1, TRUE), CSTR_EQUAL)
        << "opened by " << std::string(opener.name.begin(), opener.name.end());
  }
  DestroyWindow(window);
  if (SUCCEEDED(com)) CoUninitialize();
}

struct FallbackRun {
  std::wstring address;
  HRESULT desktop = S_OK;
  bool opened = true;
  HWND owner = nullptr;
};

// A thread that never initialises COM: the desktop's shell cannot be asked
// from it. Its own window is the guard's.
DWORD WINAPI openWithoutCom(void* parameter) {
  auto* run = static_cast<FallbackRun*>(parameter);
  run->desktop = openAsDesktopUser(run->address);
  run->owner = popup(50, 50);
  OwnerDisableGuard guard;
  guard.begin(run->owner);
  run->opened = openUrl(run->address, guard);
  guard.end();
  DestroyWindow(run->owner);
  return 0;
}

struct TableUnloader {
  ~TableUnloader() {
    TranslationTable& table = TranslationTable::instance();
    ScopedLock hold(table.lock());
    table.clear();
  }
};

// Where the desktop's shell cannot be asked, the elevated setup starts no
// browser of its own (that would run the user's http command as
// administrator): a box in the interface's language names the page.
TEST(OpenUrl, WhereTheDesktopShellCannotBeAskedNothingStartsAndABoxNamesTheAddress) {
  test::TempFolder folder;
  const std::wstring record = folder / L"opened.txt";
  test::HttpHandlerSwap swap(test::urlRecorderCommand(record));
  ASSERT_EQ(swap.status(), ERROR_SUCCESS);
  const std::wstring sentence = L"The web page could not be opened. Please open this address in your web browser:";
  ASSERT_NE(test::japaneseFor(sentence), sentence) << "the translation table lacks the sentence";
  TableUnloader unloader;
  for (const bool japanese : {false, true}) {
    SCOPED_TRACE(japanese ? "Japanese" : "English");
    if (japanese) loadTranslationResource(IDR_JAPANESE_TABLE);
    FallbackRun run;
    run.address = L"http://marrowfen.example/fallback?x=1&y=2";
    std::vector<test::SeenBox> seen;
    {
      test::MessageBoxWatcher watcher(IDOK);
      HANDLE thread = CreateThread(nullptr, 0, openWithoutCom, &run, 0, nullptr);
      ASSERT_NE(thread, nullptr);
      ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
      CloseHandle(thread);
      seen = watcher.seen();
    }
    EXPECT_TRUE(FAILED(run.desktop)) << std::hex << run.desktop;
    EXPECT_FALSE(run.opened);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].owner, run.owner);
    EXPECT_EQ(seen[0].caption, japanese ? test::japaneseFor(L"Tonvane Free Setup") : L"Tonvane Free Setup");
    EXPECT_EQ(seen[0].text, (japanese ? test::japaneseFor(sentence) : sentence) +
                                L"\r\n\r\nhttp://marrowfen.example/fallback?x=1%26y=2");
  }
  // Each box showed only once the choice was made; a browser started before
  // it would have left its record by now.
  EXPECT_EQ(test::waitForFile(record, 5000), "");
}

}  // namespace
