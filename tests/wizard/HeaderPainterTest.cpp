// The header band and page title, painted on the setup's real frame (129)
// from its WM_PAINT and read back from the screen: where the band ends,
// where the title's ink falls, and that no title is drawn for values outside
// the page range. The test display runs at 96 DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "HeaderPainter.h"
#include "ResourceIds.h"
#include "SetupState.h"
#include "TranslationTable.h"
#include "UiHelpers.h"

using namespace tonvane;

namespace {

constexpr std::uint32_t kWhitePixel = 0xFFFFFF;

const SetupState* paintedState = nullptr;

INT_PTR CALLBACK headerFrameProcedure(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_PAINT && paintedState != nullptr) {
    paintHeader(window, *paintedState);
    return TRUE;
  }
  return FALSE;
}

// The frame's client area as 0x00RRGGBB values, row by row.
class Capture {
 public:
  explicit Capture(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && bitmap != nullptr) {
      HGDIOBJ previous = SelectObject(memory, bitmap);
      ok_ = BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY) != FALSE;
      GdiFlush();
      const auto* source = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = source[i] & 0xFFFFFF;
      SelectObject(memory, previous);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(window, screen);
  }

  bool ok() const { return ok_; }
  int width() const { return width_; }
  std::uint32_t at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

 private:
  int width_ = 0;
  int height_ = 0;
  bool ok_ = false;
  std::vector<std::uint32_t> pixels_;
};

class HeaderPainterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(dpiScale(), 1.0) << "the test display is expected at 96 DPI";
    paintedState = &state_;
    frame_ =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FRAME), nullptr, &headerFrameProcedure, 0);
    ASSERT_NE(frame_, nullptr);
    state_.frameWindow = frame_;
    SetWindowPos(frame_, HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    // The header picture sits at the top right, over part of the band and
    // the title rectangle; the checks stay left of it.
    HWND picture = nullptr;
    for (HWND child = GetWindow(frame_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) picture = child;
    }
    ASSERT_NE(picture, nullptr);
    RECT pictureRect = {};
    GetWindowRect(picture, &pictureRect);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&pictureRect), 2);
    clearRight_ = pictureRect.left;
    ASSERT_GT(clearRight_, 200);
  }

  void TearDown() override {
    if (frame_ != nullptr) DestroyWindow(frame_);
    paintedState = nullptr;
  }

  // Without `erase` the dialog does not clear its background first, so
  // whatever the band does not cover stays as the last paint left it.
  Capture paint(std::int32_t page, bool erase = true) {
    state_.pageIndex = page;
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0) | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Capture(frame_);
  }

  // A pixel no child window covers (the etched lines, the buttons).
  bool framePixel(int x, int y) const {
    return ChildWindowFromPointEx(frame_, POINT{x, y}, CWP_SKIPINVISIBLE) == frame_;
  }

  // How many of the frame's own pixels in columns [left, right) and rows
  // [top, bottom), left of the picture, are not white.
  int inkIn(const Capture& capture, int left, int top, int right, int bottom) const {
    int ink = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right && x < clearRight_; ++x)
        if (framePixel(x, y) && capture.at(x, y) != kWhitePixel) ++ink;
    return ink;
  }

  SetupState state_;
  HWND frame_ = nullptr;
  int clearRight_ = 0;
};

TEST_F(HeaderPainterTest, BandIsWhiteThrough69RowsAndTheDialogShowsBelow) {
  const Capture capture = paint(8);  // no title
  ASSERT_TRUE(capture.ok());
  const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
  const std::uint32_t faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  ASSERT_NE(faceRgb, kWhitePixel);
  int rowsChecked = 0;
  for (int x : {0, 5, 150, clearRight_ - 1}) {
    for (int y = 0; y < 69; ++y)
      if (framePixel(x, y)) {
        EXPECT_EQ(capture.at(x, y), kWhitePixel) << x << "," << y;
      }
    if (framePixel(x, 69)) {
      EXPECT_EQ(capture.at(x, 69), faceRgb) << x << ",69";
      ++rowsChecked;
    }
  }
  // Row 69 itself must have been looked at, not hidden under a control.
  EXPECT_GT(rowsChecked, 0);
  EXPECT_EQ(inkIn(capture, 0, 0, capture.width(), 69), 0);
}

TEST_F(HeaderPainterTest, EveryPageTitleIsDrawnInsideItsRectangleOnly) {
  for (std::int32_t page = Welcome; page <= PluginTerms; ++page) {
    SCOPED_TRACE(page);
    const Capture capture = paint(page);
    ASSERT_TRUE(capture.ok());
    EXPECT_GT(inkIn(capture, 10, 12, 400, 50), 20);
    // Nothing above, left of or below the title rectangle.
    EXPECT_EQ(inkIn(capture, 0, 0, capture.width(), 12), 0);
    EXPECT_EQ(inkIn(capture, 0, 12, 10, 50), 0);
    EXPECT_EQ(inkIn(capture, 0, 50, capture.width(), 69), 0);
  }
}

TEST_F(HeaderPainterTest, ALongTitleWrapsOntoASecondLineAndAShortOneDoesNot) {
  // 12 pt at 96 DPI is 16 pixels: a first line at 12 ends by row 32.
  const Capture offers = paint(Offers);
  ASSERT_TRUE(offers.ok());
  EXPECT_GT(inkIn(offers, 10, 33, 400, 50), 20);
  const Capture shortcuts = paint(Shortcuts);
  ASSERT_TRUE(shortcuts.ok());
  EXPECT_GT(inkIn(shortcuts, 10, 12, 400, 33), 20);
  EXPECT_EQ(inkIn(shortcuts, 10, 33, 400, 50), 0);
}

// The translator's text replaces the English title: a translation long
// enough to wrap shows up on the second line, where the English title has no
// ink. A title the table lacks stays English (one line).
TEST_F(HeaderPainterTest, TheTitleIsTheTranslatorsText) {
  TranslationTable& table = TranslationTable::instance();
  {
    ScopedLock hold(table.lock());
    ASSERT_TRUE(
        table.loadText(L"[Text]\r\nSelect Shortcut=Choose where the shortcuts of the program go, "
                       L"on the desktop, in the start menu or in the send to menu\r\n"));
  }
  const int translatedSecondLine = inkIn(paint(Shortcuts), 10, 33, 400, 50);
  const int untranslatedSecondLine = inkIn(paint(Complete), 10, 33, 400, 50);
  {
    ScopedLock hold(table.lock());
    table.clear();
  }
  EXPECT_GT(translatedSecondLine, 20);
  EXPECT_EQ(untranslatedSecondLine, 0);
  EXPECT_EQ(inkIn(paint(Shortcuts), 10, 33, 400, 50), 0);
}

TEST_F(HeaderPainterTest, ValuesOutsideThePagesDrawNoTitleAndClearAnEarlierOne) {
  ASSERT_GT(inkIn(paint(Complete), 10, 12, 400, 50), 20);
  for (std::int32_t value : {8, -1, 1000}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(pageTitle(value), nullptr);
    EXPECT_EQ(inkIn(paint(value, false), 0, 0, clearRight_, 69), 0);
    ASSERT_GT(inkIn(paint(Complete, false), 10, 12, 400, 50), 20);
  }
}

TEST(HeaderBand, HeightIsTruncatedFromTheDpiScale) {
  EXPECT_EQ(headerBandHeight(1.0), 69);
  EXPECT_EQ(headerBandHeight(1.25), 86);  // 86.25
  EXPECT_EQ(headerBandHeight(1.5), 103);  // 103.5
  EXPECT_EQ(headerBandHeight(2.0), 138);
}

TEST_F(HeaderPainterTest, ThePictureGrowsWithTheScaleAndStaysInTheTopRightCorner) {
  HWND picture = nullptr;
  for (HWND child = GetWindow(frame_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) picture = child;
  ASSERT_NE(picture, nullptr);
  const auto rectOf = [&] {
    RECT rect = {};
    GetWindowRect(picture, &rect);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const RECT before = rectOf();
  scaleHeaderPicture(frame_, 1.0);
  const RECT unscaled = rectOf();
  EXPECT_TRUE(EqualRect(&before, &unscaled)) << "at scale 1 the picture moved";

  scaleHeaderPicture(frame_, 1.5);
  const RECT grown = rectOf();
  RECT client = {};
  GetClientRect(frame_, &client);
  EXPECT_EQ(grown.right - grown.left, 103);  // 69 x 1.5, truncated
  EXPECT_EQ(grown.bottom - grown.top, 103);
  EXPECT_EQ(grown.right, client.right);
  EXPECT_EQ(grown.top, 0);
  BITMAP shown = {};
  HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(GetObjectW(image, sizeof shown, &shown), 0);
  EXPECT_EQ(shown.bmWidth, 103);
  EXPECT_EQ(shown.bmHeight, 103);
}

}  // namespace
