#include "TranslationSource.h"

#include <windows.h>

#include <sstream>

#include "TestFiles.h"

namespace tonvane::test {

// Pairs (section, key, value) of the table's UTF-8 source in the repository,
// read independently of the INI reader.
TranslationSourceEntries japaneseTableSource(const std::wstring& repositoryPath) {
  std::wstring relative = repositoryPath;
  for (wchar_t& c : relative)
    if (c == L'/') c = L'\\';
  const std::string bytes = readBytes(winePathOfUnixPath(TONVANE_TEST_SOURCE_DIR) + L"\\..\\" + relative);
  std::wstring text(bytes.size(), L'\0');
  text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                  static_cast<int>(text.size())));
  TranslationSourceEntries entries;
  std::wstring section;
  std::wistringstream lines(text);
  for (std::wstring line; std::getline(lines, line);) {
    const std::size_t equals = line.find(L'=');
    if (line.size() > 2 && line.front() == L'[' && line.back() == L']')
      section = line.substr(1, line.size() - 2);
    else if (equals != std::wstring::npos)
      entries.push_back({section, {line.substr(0, equals), line.substr(equals + 1)}});
  }
  return entries;
}

namespace {
std::wstring lookUp(const TranslationSourceEntries& entries, const std::wstring& english) {
  for (const auto& entry : entries)
    if (entry.second.first == english) return entry.second.second;
  return english;
}
}  // namespace

std::wstring japaneseFor(const std::wstring& english) {
  static const TranslationSourceEntries entries = japaneseTableSource();
  return lookUp(entries, english);
}

std::wstring uninstallerJapaneseFor(const std::wstring& english) {
  static const TranslationSourceEntries entries = japaneseTableSource(L"payloads/uninstaller/japanese.ini");
  return lookUp(entries, english);
}

bool japaneseSystem() { return environment("TONVANE_EXPECT_ACP") == "932"; }

std::wstring shown(const std::wstring& english, bool japanese) { return japanese ? japaneseFor(english) : english; }

std::wstring shownByUninstaller(const std::wstring& english, bool japanese) {
  return japanese ? uninstallerJapaneseFor(english) : english;
}

}  // namespace tonvane::test
