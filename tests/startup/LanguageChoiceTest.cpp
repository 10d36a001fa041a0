#include <gtest/gtest.h>

#include "LanguageChoice.h"

using namespace tonvane;

namespace {

TEST(LanguageCode, TakesTheLastLangOptionInAnyLetterCase) {
  struct Case {
    std::vector<std::wstring> arguments;
    std::wstring code;
  };
  const Case cases[] = {
      {{L"setup.exe"}, L""},
      {{L"setup.exe", L"/lang:jpn"}, L"jpn"},
      {{L"setup.exe", L"/LANG:JPN"}, L"jpn"},
      {{L"setup.exe", L"/Lang:Jpn"}, L"jpn"},
      {{L"setup.exe", L"/lang:eng"}, L"eng"},
      {{L"setup.exe", L"/lang:"}, L""},
      {{L"setup.exe", L"x/lang:jpn"}, L""},
      {{L"setup.exe", L" /lang:jpn"}, L""},
      {{L"setup.exe", L"-lang:jpn"}, L""},
      {{L"setup.exe", L"/lang:jpn", L"/lang:eng"}, L"eng"},
      {{L"setup.exe", L"/lang:eng", L"other", L"/lang:jpn"}, L"jpn"},
      {{L"setup.exe", L"/lang:jpn", L"/lang:"}, L""},  // the last one wins, even empty
      {{L"setup.exe", L"/lang:jpn extra"}, L"jpn extra"},
      {{L"/lang:jpn"}, L""},  // the program path is never an option
      {{}, L""},
  };
  for (const Case& c : cases) {
    std::wstring joined;
    for (const std::wstring& a : c.arguments) joined += L"[" + a + L"]";
    EXPECT_EQ(languageCode(c.arguments), c.code) << joined.c_str();
  }
}

TEST(JapaneseInterface, CodeFirstThenTheUsersLanguage) {
  const unsigned short english = 0x0409, japanese = 0x0411;
  EXPECT_TRUE(japaneseInterface(L"jpn", english));
  EXPECT_TRUE(japaneseInterface(L"jpn", japanese));
  EXPECT_FALSE(japaneseInterface(L"eng", japanese));
  EXPECT_FALSE(japaneseInterface(L"jp", japanese));
  EXPECT_FALSE(japaneseInterface(L"jpn ", english));
  EXPECT_TRUE(japaneseInterface(L"", japanese));
  EXPECT_FALSE(japaneseInterface(L"", english));
  // Only the primary language (low 10 bits) counts.
  EXPECT_TRUE(japaneseInterface(L"", 0xFC11));
  EXPECT_TRUE(japaneseInterface(L"", 0x0811));
  EXPECT_FALSE(japaneseInterface(L"", 0x0412));  // Korean
}

}  // namespace
