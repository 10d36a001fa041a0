// The frame's header: the white band across its top and the current page's
// title in it, painted on the frame's WM_PAINT.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SetupState.h"

namespace tonvane {

// The English title of a page (also its translation key); null for values
// outside 0 to 7.
const wchar_t* pageTitle(std::int32_t page);

// Height of the white band in device pixels for a DPI scale: 69 at 96 DPI,
// truncated, never rounded up.
int headerBandHeight(double scale);

// Handles WM_PAINT of the frame window: validates the update region, fills
// the band over the repainted area with white and draws the translated title
// of state.pageIndex in bold 12 pt "MS UI Gothic" into 10, 12, 400, 50
// (device pixels at 96 DPI, scaled with the DPI; wrapped at word breaks, cut
// off below). No title for a pageIndex outside 0 to 7. The screen's DPI
// scale is read on the first paint of the process and kept for the rest of
// the run.
void paintHeader(HWND frame, const SetupState& state);

// Stretches the frame's header picture by the DPI scale and keeps it at the
// frame's top right corner; at 96 DPI (scale 1) nothing changes.
void scaleHeaderPicture(HWND frame, double scale);

}  // namespace tonvane
