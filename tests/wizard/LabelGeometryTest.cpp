// Where a label may grow and how wide it becomes, on rectangles and text
// extents worked out by hand.
#include <gtest/gtest.h>

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
  text.wrappedHeight = [singleLineWidth](int width) {
    return 10 * ((singleLineWidth + width - 1) / width);
  };
  return text;
}

}  // namespace

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

TEST(GrowthLimit, NeverLessThanTheControlsOwnRightEdge) {
  EXPECT_EQ(growthLimit({10, 0, 300, 10}, {}, 273), 300);
}

TEST(FitLabel, ATextThatShowsWholeKeepsItsWidth) {
  const LayoutBox box = {6, 0, 106, 10};
  const LabelFit single = fitLabel(box, 400, textOf(100, false, true));
  EXPECT_EQ(single.width, 100);
  EXPECT_FALSE(single.wrap);
  EXPECT_TRUE(single.whole);
  // Two lines of 100 in a 20-pixel-high wrapping label.
  const LabelFit wrapped = fitLabel({6, 0, 106, 20}, 400, textOf(200, true, true));
  EXPECT_EQ(wrapped.width, 100);
  EXPECT_TRUE(wrapped.wrap);
  EXPECT_TRUE(wrapped.whole);
}

TEST(FitLabel, ACutSingleLineGrowsToItsTextAndItsBoxExactly) {
  const LabelFit fit = fitLabel({6, 0, 106, 10}, 273, textOf(150, false, true, 16));
  EXPECT_EQ(fit.width, 166);
  EXPECT_FALSE(fit.wrap);
  EXPECT_TRUE(fit.whole);
  // Exactly the room there is.
  EXPECT_EQ(fitLabel({6, 0, 106, 10}, 172, textOf(150, false, true, 16)).width, 166);
}

TEST(FitLabel, WithoutRoomForOneLineATallEnoughControlBreaksItsText) {
  // 300 pixels of text, room for 200: two lines of 150 fit a 20-pixel height.
  const LabelFit fit = fitLabel({0, 0, 100, 20}, 200, textOf(300, false, true));
  EXPECT_EQ(fit.width, 150);
  EXPECT_TRUE(fit.wrap);
  EXPECT_TRUE(fit.whole);
}

TEST(FitLabel, WithoutRoomOrHeightItTakesAllTheRoomAndSaysTheTextIsStillCut) {
  // One line high: breaking would not help.
  const LabelFit low = fitLabel({0, 0, 100, 10}, 200, textOf(300, false, true));
  EXPECT_EQ(low.width, 200);
  EXPECT_FALSE(low.wrap);
  EXPECT_FALSE(low.whole);
  // Tall enough, but a static text without word wrap cannot break lines.
  const LabelFit noWrap = fitLabel({0, 0, 100, 20}, 200, textOf(300, false, false));
  EXPECT_EQ(noWrap.width, 200);
  EXPECT_FALSE(noWrap.wrap);
  EXPECT_FALSE(noWrap.whole);
}

TEST(FitLabel, AWrappingTextNeedingMoreLinesThanItsHeightGrowsToTheNarrowestWidthThatHoldsIt) {
  // 300 pixels in 2 lines need 150; in 3 lines, 100.
  const LabelFit twoLines = fitLabel({0, 0, 120, 20}, 273, textOf(300, true, true));
  EXPECT_EQ(twoLines.width, 150);
  EXPECT_TRUE(twoLines.wrap);
  EXPECT_TRUE(twoLines.whole);
  const LabelFit threeLines = fitLabel({0, 0, 90, 30}, 273, textOf(300, true, true));
  EXPECT_EQ(threeLines.width, 100);
  // Not enough room for two lines either.
  const LabelFit cut = fitLabel({0, 0, 120, 20}, 140, textOf(300, true, true));
  EXPECT_EQ(cut.width, 140);
  EXPECT_FALSE(cut.whole);
}

TEST(FitLabel, ALimitLeftOfTheControlsRightEdgeNeverShrinksIt) {
  const LabelFit fit = fitLabel({50, 0, 150, 10}, 120, textOf(300, false, false));
  EXPECT_EQ(fit.width, 100);
  EXPECT_FALSE(fit.whole);
}
