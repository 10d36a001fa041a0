// The translator with the table the setup ships, and with small tables of
// the tests' own for the corner cases.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "Resources.h"
#include "TestFiles.h"
#include "TranslationSource.h"
#include "TranslationTable.h"

using namespace tonvane;

namespace {

void unloadTable() {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  table.clear();
}

void loadTable(const std::wstring& text) {
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  table.loadText(text);
}

std::wstring textOf(HWND window) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(window, buffer, 2048);
  return buffer;
}

class Translation : public testing::Test {
 protected:
  void TearDown() override { unloadTable(); }
};

TEST_F(Translation, WithoutATableEverythingStaysEnglish) {
  unloadTable();
  EXPECT_EQ(translateText(L"Failed to install."), L"Failed to install.");
  EXPECT_EQ(translateText(L""), L"");

  HWND frame = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(100), nullptr, nullptr, 0);
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(translateWindow(frame));
  EXPECT_EQ(textOf(GetDlgItem(frame, 1000)), L"&Next >");
  EXPECT_EQ(textOf(frame), L"Terms of Use");
  DestroyWindow(frame);
  EXPECT_FALSE(translateWindow(nullptr));
}

TEST_F(Translation, TheShippedTableHoldsEveryEntryOfItsSource) {
  const ResourceBytes resource = loadResource(ResourceId::kText, IDR_JAPANESE_TABLE);
  ASSERT_GT(resource.size, 4u);
  const std::string bytes(reinterpret_cast<const char*>(resource.data), resource.size);
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_EQ(bytes.find("\r\n\r\n"), std::string::npos);
  for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
    ASSERT_EQ(bytes[at - 1], '\r') << "a bare line feed at " << at;

  loadTranslationResource(215);
  TranslationTable& table = TranslationTable::instance();
  ScopedLock hold(table.lock());
  ASSERT_EQ(table.sections.size(), 3u);
  EXPECT_EQ(table.sectionName(0), L"Menu");
  EXPECT_EQ(table.sectionEntries(0).entryCount(), 0);

  const auto entries = test::japaneseTableSource();
  // The wizard's 47 texts, its question before an older release goes over
  // a newer one and its 4 texts about programs in use, the damaged-file
  // message of the start-up check, the 14 lines of the command-line
  // options' help and the message of a drive without room.
  ASSERT_EQ(entries.size(), 68u);
  int window = 0, text = 0;
  for (const auto& entry : entries) {
    const int section = table.findSection(entry.first);
    ASSERT_GE(section, 0) << entry.first.c_str();
    const std::wstring* value = table.sectionEntries(section).lookup(entry.second.first);
    ASSERT_NE(value, nullptr) << entry.second.first.c_str();
    EXPECT_EQ(*value, entry.second.second) << entry.second.first.c_str();
    (entry.first == L"Window" ? window : text)++;
  }
  EXPECT_EQ(table.sectionEntries(table.findSection(L"Window")).entryCount(), window);
  EXPECT_EQ(table.sectionEntries(table.findSection(L"Text")).entryCount(), text);
}

TEST_F(Translation, ATextIsReadFromAResourcesTableWithoutLoadingTheTranslator) {
  const std::wstring japanese = test::japaneseFor(L"Online help");
  ASSERT_NE(japanese, L"Online help");
  const struct {
    unsigned resource;
    const wchar_t* text;
    std::wstring expected;
  } cases[] = {
      {IDR_JAPANESE_TABLE, L"Online help", japanese},
      {IDR_JAPANESE_TABLE, L"Folder", L""},  // a window text
      {IDR_JAPANESE_TABLE, L"No such text", L""},
      {9999, L"Online help", L""},  // no such resource
  };
  for (const auto& c : cases)
    EXPECT_EQ(translationInResource(c.resource, c.text), c.expected) << c.resource << " " << c.text;
  EXPECT_EQ(translateText(L"Online help"), L"Online help");
}

TEST_F(Translation, TranslateTextLooksOnlyInTheTextSection) {
  loadTranslationResource(215);
  EXPECT_EQ(translateText(L"Failed to install."),
            L"\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u306b\u5931\u6557\u3057\u307e\u3057\u305f\u3002");
  EXPECT_EQ(translateText(L"Tonvane Free Setup"), L"Tonvane Free \u30bb\u30c3\u30c8\u30a2\u30c3\u30d7");
  EXPECT_EQ(translateText(L"failed to install."), L"failed to install.");
  EXPECT_EQ(translateText(L"Failed to install"), L"Failed to install");
  // "Folder" is a window text, not a message.
  EXPECT_EQ(translateText(L"Folder"), L"Folder");
  EXPECT_EQ(translateText(L"An undefined error occurred."), L"An undefined error occurred.");
}

TEST_F(Translation, TranslateWindowWalksTheWindowAndItsDescendantsOnly) {
  loadTranslationResource(215);
  HWND frame = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(100), nullptr, nullptr, 0);
  ASSERT_NE(frame, nullptr);
  HWND first = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(101), frame, nullptr, 0);
  HWND second = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(101), frame, nullptr, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  SetDlgItemTextW(frame, 1004, L"Desktop");

  // A page: its own controls, not its sibling page, not the frame.
  EXPECT_TRUE(translateWindow(first));
  EXPECT_EQ(textOf(GetDlgItem(first, 1100)), L"\u30ad\u30e3\u30f3\u30bb\u30eb(&C)");
  EXPECT_EQ(textOf(GetDlgItem(first, 1101)), L"\u30c7\u30b9\u30af\u30c8\u30c3\u30d7");
  EXPECT_EQ(textOf(GetDlgItem(second, 1100)), L"&Cancel");
  EXPECT_EQ(textOf(frame), L"Terms of Use");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1000)), L"&Next >");

  // The frame: its caption and everything inside it, edit contents included.
  EXPECT_TRUE(translateWindow(frame));
  EXPECT_EQ(textOf(frame), L"\u5229\u7528\u898f\u7d04");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1000)), L"\u6b21\u3078(&N) >");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1001)), L"Next >");  // no "&", no key
  EXPECT_EQ(textOf(GetDlgItem(frame, 1002)), L"\u30d5\u30a9\u30eb\u30c0");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1003)),
            L"\u3059\u3079\u3066\u306e\u30e6\u30fc\u30b6\u30fc\u306b\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1004)), L"\u30c7\u30b9\u30af\u30c8\u30c3\u30d7");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1007)), L"OK");
  EXPECT_EQ(textOf(GetDlgItem(second, 1100)), L"\u30ad\u30e3\u30f3\u30bb\u30eb(&C)");
  DestroyWindow(frame);
}

TEST_F(Translation, EmptyTextsAreNeverLookedUpAndEmptyValuesBlank) {
  // '""' unescapes to the empty key, which a window must still never match.
  loadTable(L"[Window]\r\n\"\"=filled\r\nBlank=\r\n[Text]\r\n\"\"=filled\r\nGone=\r\n");
  HWND frame = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(100), nullptr, nullptr, 0);
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(translateWindow(frame));
  EXPECT_EQ(textOf(GetDlgItem(frame, 1005)), L"");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1004)), L"");
  EXPECT_EQ(textOf(GetDlgItem(frame, 1006)), L"");  // "Blank" has an empty value
  EXPECT_EQ(textOf(GetDlgItem(frame, 1002)), L"Folder");
  DestroyWindow(frame);

  EXPECT_EQ(translateText(L"Gone"), L"");
  EXPECT_EQ(translateText(L"Kept"), L"Kept");
}

TEST_F(Translation, ValuesAreUnescapedAgainWhenLookedUp) {
  // Unescaped once while loading, and once more on the way out.
  loadTable(L"[Text]\r\nTwo lines=first\\nsecond\r\nBackslash n=a\\\\nb\r\n");
  EXPECT_EQ(translateText(L"Two lines"), L"first\nsecond");
  EXPECT_EQ(translateText(L"Backslash n"), L"a\nb");
}

// A thread procedure is stdcall on i686, which a lambda cannot convert to.
static DWORD WINAPI translateCompletionText(void* result) {
  *static_cast<std::wstring*>(result) = translateText(L"Setup is complete.");
  return 0;
}

TEST_F(Translation, LookupsFromAnotherThreadWaitForTheLock) {
  loadTranslationResource(215);
  TranslationTable& table = TranslationTable::instance();
  std::wstring result;
  HANDLE thread;
  {
    ScopedLock hold(table.lock());
    thread = CreateThread(nullptr, 0, translateCompletionText, &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    // The holder may take the lock again while it holds it.
    EXPECT_EQ(translateText(L"Uninstall"), L"\u30a2\u30f3\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb");
  }
  EXPECT_EQ(WaitForSingleObject(thread, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(thread);
  EXPECT_EQ(result, L"\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u304c\u5b8c\u4e86\u3057\u307e\u3057\u305f\u3002");
}

}  // namespace
