// Dialogs bound to objects of the test: page dialogs inside a frame, message
// results, the end of a binding, and the terms view.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "DialogHost.h"

using namespace tonvane;

namespace {

constexpr unsigned kFrameTemplate = 300;
constexpr unsigned kPageTemplate = 301;
constexpr unsigned kBoundTemplate = 302;
constexpr unsigned kMissingTemplate = 399;

// Processes this thread's messages until `done` holds or two seconds pass.
bool pumpUntil(const std::function<bool()>& done) {
  const DWORD started = GetTickCount();
  while (!done()) {
    if (GetTickCount() - started > 2000) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
  return true;
}

// A page controller: records commands, handles WM_INITDIALOG and, like any
// object may, WM_NCDESTROY.
class RecordingPage : public DialogBinding {
 public:
  bool processWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result, DWORD mapId) override {
    mapIds.push_back(mapId);
    if (message == WM_INITDIALOG) {
      windowAtInit = this->window();
      sawWindow = window;
      result = TRUE;
      return true;
    }
    if (message == WM_COMMAND) {
      commands.push_back(LOWORD(wParam));
      return true;
    }
    return message == WM_NCDESTROY;
  }
  void onFinalMessage(HWND window) override {
    finalWindow = window;
    windowAtFinal = this->window();
  }

  HWND windowAtInit = nullptr;
  HWND sawWindow = nullptr;
  HWND finalWindow = nullptr;
  HWND windowAtFinal = reinterpret_cast<HWND>(1);
  std::vector<WORD> commands;
  std::vector<DWORD> mapIds;
};

// A controller that answers private messages with results of its own.
class AnsweringDialog : public DialogBinding {
 public:
  bool processWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result, DWORD) override {
    switch (message) {
      case WM_APP + 1:
        result = 1234;
        return true;
      case WM_APP + 3:
        // A nested message: the outer one is current again afterwards.
        nestedAnswer = SendMessageW(window, WM_APP + 1, 0, 0);
        outerAfterNested = currentMessage() != nullptr ? currentMessage()->message : 0;
        result = 77;
        return true;
      case WM_CTLCOLORDLG:
        // Returned as the procedure's own result, not through DWLP_MSGRESULT.
        result = reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        return true;
      default:
        return false;
    }
  }
  LRESULT nestedAnswer = 0;
  UINT outerAfterNested = 0;
};

class Host : public testing::Test {
 protected:
  void SetUp() override {
    frame = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kFrameTemplate), nullptr, nullptr, 0);
    ASSERT_NE(frame, nullptr);
    pageArea = GetDlgItem(frame, IDC_FRAME_PAGE_AREA);
    ASSERT_NE(pageArea, nullptr);
    ShowWindow(frame, SW_SHOW);
  }
  void TearDown() override {
    if (IsWindow(frame)) DestroyWindow(frame);
  }
  HWND frame = nullptr;
  HWND pageArea = nullptr;
};

TEST_F(Host, APageDeliversItsCommandsToItsObjectUntilItsWindowIsDestroyed) {
  RecordingPage page;
  HWND window = createPageDialog(page, kPageTemplate, pageArea);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(page.window(), window);
  EXPECT_EQ(page.windowAtInit, window);  // bound before WM_INITDIALOG is handled
  EXPECT_EQ(page.sawWindow, window);
  EXPECT_EQ(DialogBinding::boundObject(window), &page);
  EXPECT_EQ(GetParent(window), pageArea);
  EXPECT_FALSE(page.isPending());

  PostMessageW(GetDlgItem(window, 1000), BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(window, 1012), BM_CLICK, 0, 0);
  ASSERT_TRUE(pumpUntil([&] { return page.commands.size() >= 2; }));
  EXPECT_EQ(page.commands, (std::vector<WORD>{1000, 1012}));
  EXPECT_EQ(IsDlgButtonChecked(window, 1012), static_cast<UINT>(BST_CHECKED));
  for (DWORD mapId : page.mapIds) EXPECT_EQ(mapId, 0u);

  // One object serves one window at a time.
  EXPECT_EQ(createPageDialog(page, kPageTemplate, pageArea), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(page.isPending());

  // The page goes with its frame; the object handled WM_NCDESTROY itself,
  // and the binding ends all the same.
  DestroyWindow(frame);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(page.window(), nullptr);
  EXPECT_EQ(page.finalWindow, window);
  EXPECT_EQ(page.windowAtFinal, nullptr);

  // A page whose window is gone can be created again (in a new frame).
  SetUp();
  const std::size_t before = page.commands.size();
  HWND again = createPageDialog(page, kPageTemplate, pageArea);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(page.window(), again);
  PostMessageW(GetDlgItem(again, 1000), BM_CLICK, 0, 0);
  ASSERT_TRUE(pumpUntil([&] { return page.commands.size() > before; }));
  EXPECT_EQ(page.commands.back(), 1000);
}

TEST_F(Host, AFailedCreationLeavesNothingPendingForTheNextDialog) {
  RecordingPage missing;
  EXPECT_EQ(createPageDialog(missing, kMissingTemplate, pageArea), nullptr);
  EXPECT_FALSE(missing.isPending());
  EXPECT_EQ(missing.window(), nullptr);

  RecordingPage next;
  HWND window = createPageDialog(next, kPageTemplate, pageArea);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(DialogBinding::boundObject(window), &next);
  EXPECT_EQ(next.window(), window);
  EXPECT_EQ(missing.window(), nullptr);
  EXPECT_EQ(missing.sawWindow, nullptr);
}

TEST_F(Host, HandledMessagesAnswerThroughTheDialogResult) {
  AnsweringDialog object;
  HWND window = createBoundDialog(object, kBoundTemplate, nullptr, 0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageW(window, WM_APP + 1, 0, 0), 1234);
  EXPECT_EQ(SendMessageW(window, WM_APP + 2, 0, 0), 0);  // not handled: the default
  EXPECT_EQ(SendMessageW(window, WM_APP + 3, 0, 0), 77);
  EXPECT_EQ(object.nestedAnswer, 1234);
  EXPECT_EQ(object.outerAfterNested, static_cast<UINT>(WM_APP + 3));
  EXPECT_EQ(object.currentMessage(), nullptr);
  EXPECT_EQ(SendMessageW(window, WM_CTLCOLORDLG, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)));
  DestroyWindow(window);
  EXPECT_EQ(object.window(), nullptr);
}

TEST_F(Host, AnObjectThatDiesFirstUnbindsItsWindow) {
  auto object = std::make_unique<AnsweringDialog>();
  HWND window = createBoundDialog(*object, kBoundTemplate, nullptr, 0);
  ASSERT_NE(window, nullptr);
  object.reset();
  EXPECT_EQ(DialogBinding::boundObject(window), nullptr);
  // Reaches no object now: the platform's default answer.
  EXPECT_EQ(SendMessageW(window, WM_APP + 1, 0, 0), 0);
  EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(Host, TheTermsViewFillsThePageAreaWithTheFramesFont) {
  HWND view = createTermsView(pageArea, frame);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(GetParent(view), pageArea);
  wchar_t className[16] = {};
  GetClassNameW(view, className, 16);
  EXPECT_EQ(CompareStringOrdinal(className, -1, L"EDIT", -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(view, GWL_STYLE)) & 0x50200004u, 0x50200004u);
  EXPECT_TRUE(GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_EQ(GetDlgCtrlID(view), 0);
  EXPECT_EQ(GetWindowTextLengthW(view), 0);

  RECT area = {}, placed = {};
  GetClientRect(pageArea, &area);
  GetWindowRect(view, &placed);
  MapWindowPoints(nullptr, pageArea, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 0);
  EXPECT_EQ(placed.top, 0);
  EXPECT_EQ(placed.right, area.right);
  EXPECT_EQ(placed.bottom, area.bottom);

  const LRESULT frameFont = SendMessageW(frame, WM_GETFONT, 0, 0);
  EXPECT_NE(frameFont, 0);
  EXPECT_EQ(SendMessageW(view, WM_GETFONT, 0, 0), frameFont);
}

}  // namespace
