#include "LanguageChoice.h"

#include "PathText.h"

namespace tonvane {

namespace {
constexpr wchar_t kOption[] = L"/lang:";
constexpr std::size_t kOptionLength = 6;
constexpr unsigned short kPrimaryLanguageMask = 0x3FF;
constexpr unsigned short kLangJapanese = 0x11;
}  // namespace

std::wstring languageCode(const std::vector<std::wstring>& arguments) {
  std::wstring code;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring lowered = lowerCase(arguments[i]);
    if (lowered.compare(0, kOptionLength, kOption) == 0) code = lowered.substr(kOptionLength);
  }
  return code;
}

bool japaneseInterface(const std::wstring& code, unsigned short userLanguageId) {
  if (code == L"jpn") return true;
  return code.empty() && (userLanguageId & kPrimaryLanguageMask) == kLangJapanese;
}

}  // namespace tonvane
