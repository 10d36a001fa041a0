// Where a window of ours stands on the screen.
#pragma once

#include <windows.h>

namespace tonvane {

// Moves a window without resizing it: a child to the centre of its parent's
// client area; a top-level window to the centre of its visible, not
// minimised owner, or of the work area, and in both cases kept inside the
// work area, its left and top edges winning when it is larger.
void centerOnWorkArea(HWND window);

}  // namespace tonvane
