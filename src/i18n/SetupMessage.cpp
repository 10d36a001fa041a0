#include "SetupMessage.h"

#include "TranslationTable.h"

namespace tonvane {

int showTranslatedMessage(HWND owner, const std::wstring& text, const wchar_t* captionKey, UINT flags) {
  const std::wstring caption = translateText(captionKey);
  return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

int showSetupMessage(HWND owner, const std::wstring& text, UINT flags) {
  return showTranslatedMessage(owner, text, kSetupCaption, flags);
}

}  // namespace tonvane
