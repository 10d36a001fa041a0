// Widens the labels of a dialog whose translated text would be cut.
#pragma once

#include <windows.h>

namespace tonvane {

// For each static text, check box, radio button and push button of the
// dialog (direct children) whose text does not show whole in its rectangle:
// grows it to the right as far as its text needs, but never past the
// dialog's client area nor onto another control's rectangle (visible or
// not: the frame's buttons take turns in one place), and lets a button
// break its text into lines where its height holds them. Measured with each
// control's own font. Controls whose text shows whole stay as they are, to
// the pixel. Called after the dialog's texts were translated.
void fitLabelsToText(HWND dialog);

}  // namespace tonvane
