// Where a translated label may grow so that its whole text shows, apart from
// any window: rectangles and text extents in, a width and a line-breaking
// choice out. A translation is often longer than the English text its
// template was sized for, and the templates themselves must not change.
#pragma once

#include <functional>
#include <vector>

namespace tonvane {

// A control's rectangle in its dialog's client coordinates (pixels).
struct LayoutBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The right edge a control may grow to: the dialog's right edge, or the left
// edge of the nearest other control in its row that lies wholly to its right
// (shares some of its height and starts at or after its right edge).
// Controls it already overlaps or that lie to its left do not stop it.
int growthLimit(const LayoutBox& control, const std::vector<LayoutBox>& others, int dialogRight);

// The text of a control as measured with the control's own font.
struct LabelText {
  // Pixels of the control's width that are not the text's (a check box's
  // box and the gap after it).
  int chrome = 0;
  // Width of the text on one line.
  int singleLineWidth = 0;
  // The control breaks its text into lines now, and whether it can be made
  // to (a button can; a static text without word wrap cannot).
  bool wrapsNow = false;
  bool mayWrap = false;
  // Height of the text broken into lines no wider than the given width.
  // Needed only when the text wraps or may wrap.
  std::function<int(int width)> wrappedHeight;
};

struct LabelFit {
  int width = 0;
  bool wrap = false;
  // The whole text shows at this width; false when the room ran out first
  // (the width is then as wide as the room allows).
  bool whole = false;
};

// The width and line breaking that show the label's whole text, changing as
// little as possible: a label that shows its text already keeps its width;
// otherwise it grows to the narrowest width up to rightLimit at which the
// text fits on one line or, when the control breaks lines (or may) and its
// height holds more than one line, in its height.
LabelFit fitLabel(const LayoutBox& control, int rightLimit, const LabelText& text);

}  // namespace tonvane
