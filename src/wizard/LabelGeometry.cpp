#include "LabelGeometry.h"

#include <algorithm>

namespace tonvane {

int growthLimit(const LayoutBox& control, const std::vector<LayoutBox>& others, int dialogRight) {
  int limit = std::max(dialogRight, control.right);
  for (const LayoutBox& other : others) {
    if (other.right <= other.left || other.bottom <= other.top) continue;
    const bool sameRow = other.top < control.bottom && control.top < other.bottom;
    if (sameRow && other.left >= control.right) limit = std::min(limit, other.left);
  }
  return limit;
}

LabelFit fitLabel(const LayoutBox& control, int rightLimit, const LabelText& text) {
  const int width = control.right - control.left;
  const int height = control.bottom - control.top;
  const int widest = std::max(width, rightLimit - control.left);
  const auto fitsAt = [&](int candidate, bool wrap) {
    const int room = candidate - text.chrome;
    if (room <= 0) return false;
    if (!wrap) return text.singleLineWidth <= room;
    return text.wrappedHeight && text.wrappedHeight(room) <= height;
  };
  // The narrowest width in (width, widest] at which the wrapped text fits;
  // 0 when none does. Wrapped height only shrinks as the width grows.
  const auto narrowestWrapped = [&]() {
    if (!fitsAt(widest, true)) return 0;
    int low = width;    // does not fit
    int high = widest;  // fits
    while (high - low > 1) {
      const int middle = low + (high - low) / 2;
      (fitsAt(middle, true) ? high : low) = middle;
    }
    return high;
  };

  if (fitsAt(width, text.wrapsNow)) return {width, text.wrapsNow, true};
  if (text.wrapsNow) {
    if (const int fitted = narrowestWrapped()) return {fitted, true, true};
    return {widest, true, false};
  }
  const int oneLine = text.singleLineWidth + text.chrome;
  if (oneLine <= widest) return {oneLine, false, true};
  if (text.mayWrap) {
    if (const int fitted = narrowestWrapped()) return {fitted, true, true};
  }
  return {widest, false, false};
}

}  // namespace tonvane
