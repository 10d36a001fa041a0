// The program's message box: a caption in the interface's language, an
// owner and flags as the caller gives them. The start-up checks, the folder
// page, the wizard and its install step show their messages through
// showSetupMessage; the uninstaller passes its own caption.
#pragma once

#include <windows.h>

#include <string>

#include "ProductIdentity.h"

namespace tonvane {

// MessageBoxW owned by `owner` (null: none) with `flags`, the caption
// `captionKey` translated (section "Text"), and `text` shown as given: the
// callers translate their sentences, some of which they join. Returns the
// box's answer (IDOK, IDYES, ...; 0 when it could not be shown).
int showTranslatedMessage(HWND owner, const std::wstring& text, const wchar_t* captionKey, UINT flags);

// The same with the setup's caption.
int showSetupMessage(HWND owner, const std::wstring& text, UINT flags);

}  // namespace tonvane
