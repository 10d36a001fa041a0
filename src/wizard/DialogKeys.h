// The wizard for a user without a mouse. The frame is one dialog whose pages
// are child dialogs inside a static control (the page area), and whose button
// row holds four default push buttons in one place, only one of them visible.
// The platform's dialog manager handles Tab, Enter, Escape and the mnemonics
// for the frame; these helpers give it what it cannot work out by itself:
// which button Enter presses on each page, that the page area holds controls
// to Tab into, and where the focus goes when a page is shown.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tonvane {

// The id of the frame's button that Enter presses on a page: Next on the
// first four pages, Yes on the Offers page, Close on the Complete page, OK
// below a terms text.
int defaultButtonFor(std::int32_t pageIndex);

// Lets Tab and the mnemonics reach the controls of the pages: the page area
// is a plain static control, which the dialog manager does not look into
// unless it is marked as a parent of controls.
void openPageAreaToKeyboard(HWND pageArea);

// The Offers page lists its two "Terms of Use" buttons last and in the
// reverse order; Tab follows the order of the controls, so each button is
// moved to right after the box of its own offer.
void orderOffersPageForTab(HWND offersPage);

// Whether the window can hold the keyboard focus: it exists, it and every
// parent are visible and none is disabled.
bool canHoldFocus(HWND window);

// Where the focus goes when a page dialog is shown: the page's first control
// reached by Tab unless that is a push button (whose focus would make it the
// button Enter presses), otherwise the default button, otherwise the page
// itself (the Progress page, while Next is disabled). Null when none of them
// can hold the focus.
HWND focusTargetFor(HWND page, HWND defaultButton);

// A push button of a page that had the focus keeps the default look after
// the page is hidden; shown again, it would look like a second default button
// beside the frame's. Gives the page's push buttons their plain look.
void clearPageButtonDefaults(HWND page);

// Moves the focus inside `dialog` the way Tab does, so that the dialog draws
// the right button as the one Enter presses. A multi-line edit is left with
// its caret at the start, not with all of its text selected.
void moveDialogFocus(HWND dialog, HWND target);

}  // namespace tonvane
