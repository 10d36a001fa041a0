// The setup's pages as they are laid out on the screen: every text shows
// whole in its control and no two visible controls overlap, in English and
// in Japanese, at 96 DPI and (TONVANE_TEST_DPI) at a higher resolution. The
// English layout at 96 DPI is the templates' own, to the pixel: the
// templates are made again in this process from the setup program's file
// and compared control by control.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "RegistryKey.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

int testDpi() {
  const std::string value = environment("TONVANE_TEST_DPI");
  return value.empty() ? 96 : std::stoi(value);
}

// The screen's resolution for programs started from now on, put back at
// the end. Wine reads both values when a program starts.
class ScreenDpi {
 public:
  explicit ScreenDpi(int dpi) {
    if (dpi == 96) return;
    for (Place& place : places_) {
      DWORD value = 0;
      DWORD size = sizeof value;
      place.had =
          RegGetValueW(place.root, place.path, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
      place.previous = value;
      RegistryKey key;
      status_ = key.create(place.root, place.path);
      if (status_ != ERROR_SUCCESS) return;
      const DWORD wanted = static_cast<DWORD>(dpi);
      status_ = RegSetKeyValueW(place.root, place.path, L"LogPixels", REG_DWORD, &wanted, sizeof wanted);
      if (status_ != ERROR_SUCCESS) return;
      place.changed = true;
    }
  }
  ~ScreenDpi() {
    for (const Place& place : places_) {
      if (!place.changed) continue;
      if (place.had)
        RegSetKeyValueW(place.root, place.path, L"LogPixels", REG_DWORD, &place.previous, sizeof place.previous);
      else
        RegDeleteKeyValueW(place.root, place.path, L"LogPixels");
    }
  }
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;
  LONG status() const { return status_; }

 private:
  struct Place {
    HKEY root;
    const wchar_t* path;
    bool had = false;
    bool changed = false;
    DWORD previous = 0;
  };
  Place places_[2] = {{HKEY_CURRENT_USER, L"Control Panel\\Desktop"}, {HKEY_CURRENT_CONFIG, L"Software\\Fonts"}};
  LONG status_ = ERROR_SUCCESS;
};

enum class Kind { Other, Text, Box, Button };

Kind kindOf(HWND control) {
  wchar_t className[32] = {};
  GetClassNameW(control, className, 32);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  if (lstrcmpiW(className, L"Static") == 0) {
    const LONG type = style & SS_TYPEMASK;
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP ? Kind::Text
                                                                                                 : Kind::Other;
  }
  if (lstrcmpiW(className, L"Button") == 0) {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
      return Kind::Box;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return Kind::Button;
  }
  return Kind::Other;
}

RECT rectIn(HWND control, HWND parent) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string describe(const RECT& rect) {
  std::ostringstream text;
  text << "(" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
  return text.str();
}

// The setup's dialog font as this process can use it: a copy of the font
// the control reports when its description can be read here, else the
// templates' font (MS UI Gothic 9 pt) at the resolution under test.
HFONT dialogFont(HWND control) {
  LOGFONTW description = {};
  HGDIOBJ reported = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (reported == nullptr || GetObjectW(reported, sizeof description, &description) != sizeof description) {
    description = LOGFONTW{};
    description.lfHeight = -MulDiv(9, testDpi(), 72);
    description.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpyW(description.lfFaceName, L"MS UI Gothic");
  }
  return CreateFontIndirectW(&description);
}

struct Control {
  HWND window;
  Kind kind;
  std::wstring text;
  RECT rect;     // in its dialog's client area
  RECT painted;  // what it covers on the screen: a static text only its lines
};

// Measures the control's text with its dialog's font; adds a failure when
// the text does not show whole.
RECT expectTextFits(const Control& control, const char* where) {
  RECT painted = control.rect;
  if (control.text.empty() || control.kind == Kind::Other) return painted;
  const int width = control.rect.right - control.rect.left;
  const int height = control.rect.bottom - control.rect.top;
  // Beside a box's text: the box and its gap, 17 pixels at 96 DPI.
  const int chrome = control.kind == Kind::Box      ? MulDiv(17, testDpi(), 96)
                     : control.kind == Kind::Button ? MulDiv(6, testDpi(), 96)
                                                    : 0;
  const LONG style = GetWindowLongW(control.window, GWL_STYLE);
  const bool wraps =
      control.kind == Kind::Text ? (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP : (style & BS_MULTILINE) != 0;
  HDC context = GetDC(control.window);
  HFONT font = dialogFont(control.window);
  HGDIOBJ previous = SelectObject(context, font);
  RECT extent = {0, 0, width - chrome, 0};
  DrawTextW(context, control.text.c_str(), -1, &extent,
            DT_CALCRECT | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
  // The last line may lose the part of its cell below the baseline (the
  // English first offer's three lines lose 2 of their 39 pixels there, in
  // the template's own height); everything above it must show.
  TEXTMETRICW metrics = {};
  GetTextMetricsW(context, &metrics);
  const int descent = control.kind == Kind::Text ? metrics.tmDescent : 0;
  SelectObject(context, previous);
  DeleteObject(font);
  ReleaseDC(control.window, context);
  EXPECT_LE(extent.right, width - chrome)
      << where << ": \"" << utf8Of(control.text) << "\" needs " << extent.right + chrome << " pixels of " << width;
  EXPECT_LE(extent.bottom - descent, height)
      << where << ": \"" << utf8Of(control.text) << "\" needs " << extent.bottom << " pixels of height, has " << height;
  if (control.kind == Kind::Text)
    painted.bottom = std::min<LONG>(painted.bottom, painted.top + extent.bottom - descent);
  return painted;
}

// The visible controls of a dialog, their texts checked against their sizes.
std::vector<Control> visibleControls(HWND dialog, const char* where) {
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    Control control{child, kindOf(child), windowText(child), rectIn(child, dialog), {}};
    control.painted = expectTextFits(control, where);
    controls.push_back(control);
  }
  return controls;
}

void expectNoOverlap(const std::vector<Control>& controls, const char* where) {
  for (std::size_t a = 0; a < controls.size(); ++a) {
    for (std::size_t b = a + 1; b < controls.size(); ++b) {
      RECT common = {};
      EXPECT_FALSE(IntersectRect(&common, &controls[a].painted, &controls[b].painted))
          << where << ": \"" << utf8Of(controls[a].text) << "\" " << describe(controls[a].painted) << " overlaps \""
          << utf8Of(controls[b].text) << "\" " << describe(controls[b].painted);
    }
  }
}

// The page (and the frame's button row) as shown now: texts whole, nothing
// overlapping, nothing past the page's edge.
void expectPageLaidOut(SetupRun& run, SetupPage page) {
  const char* where = pageName(page);
  HWND window = run.pageWindow(page);
  ASSERT_NE(window, nullptr) << where;
  const std::vector<Control> controls = visibleControls(window, where);
  EXPECT_FALSE(controls.empty()) << where;
  expectNoOverlap(controls, where);
  RECT client = {};
  GetClientRect(window, &client);
  for (const Control& control : controls)
    EXPECT_LE(control.rect.right, client.right) << where << ": \"" << utf8Of(control.text) << "\" leaves the page";

  std::vector<Control> buttons;
  for (const Control& control : visibleControls(run.frame(), "frame"))
    if (control.kind == Kind::Button) buttons.push_back(control);
  expectNoOverlap(buttons, "the frame's buttons");
}

// The templates as the dialog manager lays them out, made in this process
// from the setup program's own resources.
class TemplateCopies {
 public:
  TemplateCopies() : module_(LoadLibraryExW(setupProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 800, nullptr, nullptr, nullptr, nullptr);
  }
  ~TemplateCopies() {
    for (HWND window : made_) DestroyWindow(window);
    if (owner_ != nullptr) DestroyWindow(owner_);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  TemplateCopies(const TemplateCopies&) = delete;
  TemplateCopies& operator=(const TemplateCopies&) = delete;

  HWND make(int templateId, bool child) {
    HWND window = CreateDialogParamW(module_, MAKEINTRESOURCEW(templateId), child ? owner_ : nullptr,
                                     &TemplateCopies::procedure, 0);
    if (window != nullptr) made_.push_back(window);
    return window;
  }

 private:
  static INT_PTR CALLBACK procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
  HMODULE module_;
  HWND owner_ = nullptr;
  std::vector<HWND> made_;
};

class LayoutTest : public SetupSandbox {};

TEST_F(LayoutTest, EveryPageShowsItsTextsWholeWithoutOverlaps) {
  const ScreenDpi dpi(testDpi());
  ASSERT_EQ(dpi.status(), ERROR_SUCCESS);
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));
  {
    // The setup runs at the resolution under test: its page is that much
    // larger than the template made here at 96 DPI (fonts do not grow in
    // exact proportion, hence the margin).
    TemplateCopies templates;
    HWND copy = templates.make(IDD_WELCOME_PAGE, true);
    ASSERT_NE(copy, nullptr);
    RECT atStandard = {};
    RECT shownPage = {};
    GetClientRect(copy, &atStandard);
    GetClientRect(run.pageWindow(SetupPage::Welcome), &shownPage);
    EXPECT_GE(shownPage.right * 96 * 10, atStandard.right * testDpi() * 9)
        << "the page is " << shownPage.right << " pixels wide, " << atStandard.right << " at 96 DPI";
    EXPECT_LE(shownPage.right * 96 * 10, atStandard.right * testDpi() * 11)
        << "the page is " << shownPage.right << " pixels wide, " << atStandard.right << " at 96 DPI";
  }
  expectPageLaidOut(run, SetupPage::Welcome);
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  expectPageLaidOut(run, SetupPage::Folder);
  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  expectPageLaidOut(run, SetupPage::Shortcuts);
  ASSERT_TRUE(nextTo(run, SetupPage::Offers, 180000));
  expectPageLaidOut(run, SetupPage::Offers);
  ASSERT_TRUE(declineOffers(run));
  expectPageLaidOut(run, SetupPage::Complete);
  EXPECT_TRUE(closeWithoutPressRelease(run));
}

// A dialog's controls with their rectangles, in an order that does not
// depend on the windows' stacking (the wizard reorders a page's controls for
// the Tab key): by control id, then by top and left edge, which the layout
// never moves.
struct PlacedControl {
  HWND window;
  RECT rect;
};
std::vector<PlacedControl> placedControls(HWND dialog) {
  std::vector<PlacedControl> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    controls.push_back({child, rectIn(child, dialog)});
  std::sort(controls.begin(), controls.end(), [](const PlacedControl& a, const PlacedControl& b) {
    const int idA = GetDlgCtrlID(a.window), idB = GetDlgCtrlID(b.window);
    if (idA != idB) return idA < idB;
    if (a.rect.top != b.rect.top) return a.rect.top < b.rect.top;
    return a.rect.left < b.rect.left;
  });
  return controls;
}

// English controls keep the templates' rectangles; a Japanese control may
// only grow to the right, and the labels the translation made longer than
// their templates ("Folder", "Install for all users", the two offers) do.
TEST_F(LayoutTest, EnglishKeepsTheTemplatesAndOnlyCutLabelsGrow) {
  if (testDpi() != 96) GTEST_SKIP() << "compared at 96 DPI, where this process measures as the setup does";
  TemplateCopies templates;
  SetupRun run;
  ASSERT_TRUE(startInSandbox(run));

  std::vector<std::wstring> grown;
  const auto compare = [&](HWND shown, int templateId, bool child, const char* where) {
    HWND copy = templates.make(templateId, child);
    ASSERT_NE(copy, nullptr) << where;
    const std::vector<PlacedControl> expected = placedControls(copy);
    const std::vector<PlacedControl> controls = placedControls(shown);
    ASSERT_EQ(controls.size(), expected.size()) << where;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const RECT& actual = controls[i].rect;
      const RECT& planned = expected[i].rect;
      const std::string name = std::string(where) + " \"" + utf8Of(windowText(controls[i].window)) + "\"";
      EXPECT_EQ(GetDlgCtrlID(controls[i].window), GetDlgCtrlID(expected[i].window)) << name;
      if (!japaneseSystem()) {
        EXPECT_TRUE(EqualRect(&actual, &planned))
            << name << " is at " << describe(actual) << ", its template at " << describe(planned);
        continue;
      }
      EXPECT_EQ(actual.left, planned.left) << name;
      EXPECT_EQ(actual.top, planned.top) << name;
      EXPECT_EQ(actual.bottom, planned.bottom) << name;
      EXPECT_GE(actual.right, planned.right) << name;
      if (actual.right > planned.right) grown.push_back(windowText(controls[i].window));
    }
  };

  compare(run.frame(), IDD_FRAME, false, "frame");
  compare(run.pageWindow(SetupPage::Welcome), IDD_WELCOME_PAGE, true, "Welcome");
  ASSERT_TRUE(nextTo(run, SetupPage::Folder));
  compare(run.pageWindow(SetupPage::Folder), IDD_FOLDER_PAGE, true, "Folder");
  ASSERT_TRUE(nextTo(run, SetupPage::Shortcuts));
  compare(run.pageWindow(SetupPage::Shortcuts), IDD_SHORTCUTS_PAGE, true, "Shortcuts");
  ASSERT_TRUE(nextTo(run, SetupPage::Offers, 180000));
  compare(run.pageWindow(SetupPage::Offers), IDD_OFFERS_PAGE, true, "Offers");
  ASSERT_TRUE(declineOffers(run));
  compare(run.pageWindow(SetupPage::Complete), IDD_COMPLETE_PAGE, true, "Complete");
  EXPECT_TRUE(closeWithoutPressRelease(run));

  if (japaneseSystem()) {
    for (const wchar_t* english :
         {L"Folder", L"Install for all users", L"Install the Yahoo! toolbar", L"Install the plug-in JWord"}) {
      const std::wstring label = shown(english);
      EXPECT_NE(std::find(grown.begin(), grown.end(), label), grown.end())
          << "\"" << utf8Of(label) << "\" kept its template's width";
    }
  }
}

}  // namespace
