#include "HeaderPainter.h"

#include <cwchar>
#include <string>

#include "ScopedHandles.h"
#include "TranslationTable.h"
#include "UiHelpers.h"

namespace tonvane {

namespace {

const wchar_t* const kPageTitles[kPageIndexCount] = {
    L"Welcome to Tonvane Free Setup Wizard",
    L"Select Install Folder",
    L"Select Shortcut",
    L"The installation of the Tonvane Free",
    L"Are you sure you want to install Yahoo toolbar and JWord plug-in?",
    L"Setup is complete.",
    L"Yahoo! toolbar Terms of Use",
    L"JWord plug-in Terms of Use",
};

constexpr int kBandHeightAt96Dpi = 69;
constexpr COLORREF kWhite = RGB(255, 255, 255);
// Device pixels at 96 DPI; at other resolutions they grow with the title's
// font, or a title of two lines would lose its second.
constexpr RECT kTitleRectangle = {10, 12, 400, 50};

int scaled(LONG pixels, double scale) { return static_cast<int>(pixels * scale); }

HWND headerPicture(HWND frame) {
  for (HWND child = GetWindow(frame, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
      return child;
  }
  return nullptr;
}

HFONT createTitleFont(HDC context) {
  LOGFONTW description = {};
  description.lfHeight = 120;  // tenths of a point
  description.lfWeight = FW_BOLD;
  description.lfCharSet = DEFAULT_CHARSET;
  wcscpy(description.lfFaceName, L"MS UI Gothic");
  return createPointFont(description, context);
}

}  // namespace

const wchar_t* pageTitle(std::int32_t page) { return isPageIndex(page) ? kPageTitles[page] : nullptr; }

int headerBandHeight(double scale) { return static_cast<int>(kBandHeightAt96Dpi * scale); }

void paintHeader(HWND frame, const SetupState& state) {
  const PaintContext paint(frame);
  HDC context = paint.get();
  if (context == nullptr) return;
  // Read once: the frame was laid out for the DPI the process started with.
  static const double scale = dpiScale();

  const RECT band = {paint.paint().rcPaint.left, 0, paint.paint().rcPaint.right, headerBandHeight(scale)};
  const COLORREF previousBackground = SetBkColor(context, kWhite);
  ExtTextOutW(context, 0, 0, ETO_OPAQUE, &band, L"", 0, nullptr);
  SetBkColor(context, previousBackground);

  SetBkMode(context, TRANSPARENT);
  // Without the title font the title still appears, in the context's font.
  const GdiObject<HFONT> font(createTitleFont(context));
  const GdiSelection selected(context, font.get());
  if (const wchar_t* title = pageTitle(state.pageIndex)) {
    const std::wstring text = translateText(title);
    RECT area = {scaled(kTitleRectangle.left, scale), scaled(kTitleRectangle.top, scale),
                 scaled(kTitleRectangle.right, scale), scaled(kTitleRectangle.bottom, scale)};
    DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &area, DT_WORDBREAK);
  }
}

void scaleHeaderPicture(HWND frame, double scale) {
  // The one frame of the process keeps its picture until the process ends.
  static GdiObject<HBITMAP> scaledPicture;
  HWND picture = headerPicture(frame);
  if (picture == nullptr) return;
  HBITMAP original = reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP size = {};
  if (original == nullptr || GetObjectW(original, sizeof size, &size) == 0) return;
  const int width = scaled(size.bmWidth, scale);
  const int height = scaled(size.bmHeight, scale);
  if (width == size.bmWidth && height == size.bmHeight) return;

  const ScreenContext screen;
  if (screen.get() == nullptr) return;
  GdiObject<HBITMAP> copy(CreateCompatibleBitmap(screen.get(), width, height));
  const MemoryContext from(CreateCompatibleDC(screen.get()));
  const MemoryContext to(CreateCompatibleDC(screen.get()));
  if (copy.get() == nullptr || from.get() == nullptr || to.get() == nullptr) return;
  {
    const GdiSelection source(from.get(), original);
    const GdiSelection target(to.get(), copy.get());
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
  }
  SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(copy.get()));
  scaledPicture = std::move(copy);
  // At the frame's top right corner, as at 96 DPI.
  RECT client = {};
  GetClientRect(frame, &client);
  SetWindowPos(picture, nullptr, client.right - width, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tonvane
