// The interface language from the command line and the user's language.
// Pure text, no platform calls.
#pragma once

#include <string>
#include <vector>

namespace tonvane {

// The code of the last argument that begins with "/lang:" (compared after
// lowering A to Z, so "/LANG:JPN" counts), lowered; "" without one. The
// program path, arguments[0], is never examined.
std::wstring languageCode(const std::vector<std::wstring>& arguments);

// "jpn" chooses Japanese, any other code English; without a code the
// user's language decides (its primary language, the low 10 bits, being
// LANG_JAPANESE).
bool japaneseInterface(const std::wstring& code, unsigned short userLanguageId);

}  // namespace tonvane
