// Where a label may grow and how wide it becomes, on rectangles and text
// extents worked out by hand.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "LabelGeometry.h"

using namespace tonvane;

namespace {

// A text 300 pixels long on one line, 10 pixels per line, broken anywhere.
LabelText textOf(int singleLineWidth, bool wrapsNow, bool mayWrap, int chrome = 0) {
  LabelText text;
  text.chrome = chrome;
  text.singleLineWidth = singleLineWidth;
  text.wrapsNow = wrapsNow;
  text.mayWrap = mayWrap;
  text.wrappedHeight = [singleLineWidth](int width) { return 10 * ((singleLineWidth + width - 1) / width); };
  return text;
}

// An expected answer of fitLabel: the width, the line breaking and whether
// the text shows whole, compared all together.
LabelFit fit(int width, bool wrap, bool whole) { return LabelFit{width, wrap, whole}; }

}  // namespace

namespace tonvane {
static bool operator==(const LabelFit& a, const LabelFit& b) {
  return a.width == b.width && a.wrap == b.wrap && a.whole == b.whole;
}
static void PrintTo(const LabelFit& fit, std::ostream* out) {
  *out << "width " << fit.width << (fit.wrap ? ", broken into lines" : ", one line")
       << (fit.whole ? ", whole" : ", cut");
}
}  // namespace tonvane

TEST(GrowthLimit, TheNearestControlWhollyToTheRightInTheSameRowOrElseTheDialogsEdge) {
  const LayoutBox label = {6, 44, 27, 52};
  struct Case {
    const char* what;
    std::vector<LayoutBox> others;
    int expected;
  } cases[] = {
      {"nothing else", {}, 400},
      {"a control further right in the row", {{200, 40, 260, 60}, {120, 50, 150, 58}}, 120},
      {"one touching the label's right edge", {{27, 44, 60, 52}}, 27},
      {"rows above and below, touching but not sharing height", {{30, 30, 90, 44}, {30, 52, 90, 70}}, 400},
      {"one to the left", {{0, 44, 5, 52}}, 400},
      {"one the label already overlaps", {{20, 40, 300, 60}}, 400},
      {"an empty rectangle", {{100, 44, 100, 52}}, 400},
  };
  for (const Case& c : cases) EXPECT_EQ(growthLimit(label, c.others, 400), c.expected) << c.what;
}

TEST(GrowthLimit, NeverLessThanTheControlsOwnRightEdge) { EXPECT_EQ(growthLimit({10, 0, 300, 10}, {}, 273), 300); }

TEST(FitLabel, ATextThatShowsWholeKeepsItsWidth) {
  EXPECT_EQ(fitLabel({6, 0, 106, 10}, 400, textOf(100, false, true)), fit(100, false, true));
  // Two lines of 100 in a 20-pixel-high wrapping label.
  EXPECT_EQ(fitLabel({6, 0, 106, 20}, 400, textOf(200, true, true)), fit(100, true, true));
}

TEST(FitLabel, ACutSingleLineGrowsToItsTextAndItsBoxExactly) {
  EXPECT_EQ(fitLabel({6, 0, 106, 10}, 273, textOf(150, false, true, 16)), fit(166, false, true));
  // Exactly the room there is.
  EXPECT_EQ(fitLabel({6, 0, 106, 10}, 172, textOf(150, false, true, 16)), fit(166, false, true));
}

TEST(FitLabel, WithoutRoomForOneLineATallEnoughControlBreaksItsText) {
  // 300 pixels of text, room for 200: two lines of 150 fit a 20-pixel height.
  EXPECT_EQ(fitLabel({0, 0, 100, 20}, 200, textOf(300, false, true)), fit(150, true, true));
}

TEST(FitLabel, WithoutRoomOrHeightItTakesAllTheRoomAndSaysTheTextIsStillCut) {
  // One line high: breaking would not help.
  EXPECT_EQ(fitLabel({0, 0, 100, 10}, 200, textOf(300, false, true)), fit(200, false, false));
  // Tall enough, but a static text without word wrap cannot break lines.
  EXPECT_EQ(fitLabel({0, 0, 100, 20}, 200, textOf(300, false, false)), fit(200, false, false));
}

TEST(FitLabel, AWrappingTextNeedingMoreLinesThanItsHeightGrowsToTheNarrowestWidthThatHoldsIt) {
  // 300 pixels in 2 lines need 150; in 3 lines, 100.
  EXPECT_EQ(fitLabel({0, 0, 120, 20}, 273, textOf(300, true, true)), fit(150, true, true));
  EXPECT_EQ(fitLabel({0, 0, 90, 30}, 273, textOf(300, true, true)), fit(100, true, true));
  // Not enough room for two lines either: still broken into lines, cut.
  EXPECT_EQ(fitLabel({0, 0, 120, 20}, 140, textOf(300, true, true)), fit(140, true, false));
}

TEST(FitLabel, ALimitLeftOfTheControlsRightEdgeNeverShrinksIt) {
  EXPECT_EQ(fitLabel({50, 0, 150, 10}, 120, textOf(300, false, false)), fit(100, false, false));
}
