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
// Device pixels, deliberately not scaled: the title keeps its place at any DPI.
constexpr RECT kTitleRectangle = {10, 12, 400, 50};

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
    RECT area = kTitleRectangle;
    DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &area, DT_WORDBREAK);
  }
}

}  // namespace tonvane
