// The wizard's dialogs on the platform: page dialogs inside the frame's page
// area, and the text view that shows a partner offer's terms of use. The
// module set-up and tear-down (initModule, termModule) live with the loop
// registry in MessageLoop.h.
#pragma once

#include <windows.h>

#include "DialogBinding.h"
#include "MessageLoop.h"
#include "ResourceIds.h"

namespace tonvane {

// A modeless child dialog of `parent` (the page area) from a template of the
// program, bound to `page`, creation parameter 0. Null when the binding cannot
// be prepared (last error ERROR_OUTOFMEMORY, or ERROR_ALREADY_EXISTS while the
// page still has a window) or the dialog cannot be created.
HWND createPageDialog(DialogBinding& page, unsigned templateId, HWND parent);

// The multi-line, read-only-by-convention edit view for terms texts: a child
// of `pageArea` covering its client area, no id, no text, with the frame's
// font. Null when it cannot be created.
HWND createTermsView(HWND pageArea, HWND frame);

}  // namespace tonvane
