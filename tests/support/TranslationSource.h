// The Japanese translation table as kept in the repository (UTF-8), read
// independently of the program's own INI reader, so that tests can say what
// the interface must show.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tonvane::test {

// (section, (key, value)) in file order.
using TranslationSourceEntries = std::vector<std::pair<std::wstring, std::pair<std::wstring, std::wstring>>>;

// The setup's table by default; `repositoryPath` names another table of the
// repository ("payloads/uninstaller/japanese.ini"), '/' separated.
TranslationSourceEntries japaneseTableSource(
    const std::wstring& repositoryPath = L"resources/translation/japanese.ini");

// The Japanese text for an English text of the interface (any section);
// the English text itself when the table has none.
std::wstring japaneseFor(const std::wstring& english);

// The same from the uninstaller's own table.
std::wstring uninstallerJapaneseFor(const std::wstring& english);

// Whether the test runs on a Japanese system (ctest's TONVANE_EXPECT_ACP).
bool japaneseSystem();

// What the setup's interface shows for an English text, and what the
// uninstaller's shows: the Japanese text when the interface is Japanese (as
// on a Japanese system unless told otherwise).
std::wstring shown(const std::wstring& english, bool japanese = japaneseSystem());
std::wstring shownByUninstaller(const std::wstring& english, bool japanese = japaneseSystem());

}  // namespace tonvane::test
