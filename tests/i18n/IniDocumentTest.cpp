// INI-style documents: the line rule, escapes, file loading, and the entry
// order of EntryTable. The orders below were worked out with a separate model
// of the table written from its description, not by running this code.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "EntryTable.h"
#include "IniDocument.h"
#include "TestFiles.h"

using namespace tonvane;
using tonvane::test::TempFolder;

namespace {

using Entries = std::map<std::wstring, std::wstring>;
using Contents = std::vector<std::pair<std::wstring, Entries>>;
using Keys = std::vector<std::wstring>;

// Every entry reached through entryAt, which must agree with entryCount and
// with lookup.
Entries entriesOf(const EntryTable& table) {
  Entries entries;
  for (int i = 0; i < table.entryCount(); ++i) {
    std::wstring key, value;
    EXPECT_TRUE(table.entryAt(i, key, value));
    const std::wstring* found = table.lookup(key);
    EXPECT_TRUE(found != nullptr && *found == value);
    entries[key] = value;
  }
  EXPECT_EQ(entries.size(), static_cast<std::size_t>(table.entryCount()));
  return entries;
}

Contents contentsOf(const IniDocument& document) {
  Contents contents;
  for (int i = 0; i < document.sectionCount(); ++i)
    contents.emplace_back(document.sectionName(i), entriesOf(document.sectionEntries(i)));
  return contents;
}

Keys orderOf(const EntryTable& table) {
  Keys keys;
  std::wstring key, value;
  for (int i = 0; table.entryAt(i, key, value); ++i) keys.push_back(key);
  return keys;
}

Keys numbered(const std::wstring& prefix, const std::vector<int>& numbers, const std::wstring& suffix = L"") {
  Keys keys;
  for (int n : numbers) keys.push_back(prefix + std::to_wstring(n) + suffix);
  return keys;
}

// ---------------------------------------------------------------------------
// The line rule

struct LineCase {
  const char* what;
  std::wstring text;
  Contents expected;
};

TEST(IniLineRule, SplitsClassifiesAndStoresLinesAsWritten) {
  const std::vector<LineCase> cases = {
      {"comments only in the first column; // further on is text",
       L"[S]\r\n;A=1\r\n//B=2\r\n ;C=3\r\n //D=4\r\nE=http://example.com//x\r\n/F=6\r\n",
       {{L"S", {{L" ;C", L"3"}, {L" //D", L"4"}, {L"E", L"http://example.com//x"}, {L"/F", L"6"}}}}},
      {"a line with // inside and no = is dropped", L"[S]\r\nsee http://example.com\r\na // b\r\n", {{L"S", {}}}},
      {"headers need a name; the header test comes before the = split",
       L"[]\r\n[S]\r\n[]\r\n[]=x\r\n[a=b]\r\n[ a b ]\r\n[[x]]\r\nk=1\r\n[x]y=2\r\n[x]y\r\n",
       {{L"S", {{L"[]", L"x"}}}, {L"a=b", {}}, {L" a b ", {}}, {L"[x]", {{L"k", L"1"}, {L"[x]y", L"2"}}}}},
      {"= first stores the empty key with an empty value; = last an empty value",
       L"[S]\r\n=value\r\nK=\r\nK2=a=b\r\n==\r\n",
       {{L"S", {{L"", L""}, {L"K", L""}, {L"K2", L"a=b"}}}}},
      {"nothing is trimmed: blanks, tabs and a stray CR stay",
       L"[ S ]\r\n  key = value  \r\n\tt\t=\tv\t\r\nA=1\r\r\nB\r=2\r\n",
       {{L" S ", {{L"  key ", L" value  "}, {L"\tt\t", L"\tv\t"}, {L"A", L"1\r"}, {L"B\r", L"2"}}}}},
      {"without CR LF the whole text is one line: no header, no section, dropped", L"[S]\nA=B", {}},
      {"a lone CR is no line end either", L"[S]\rA=B", {}},
      {"bare LF and CR inside a value", L"[S]\r\nA=1\nB=2\rC=3", {{L"S", {{L"A", L"1\nB=2\rC=3"}}}}},
      {"empty lines produce nothing; the last line needs no CR LF",
       L"\r\n\r\n[S]\r\n\r\n\r\nA=1\r\n\r\nB=2",
       {{L"S", {{L"A", L"1"}, {L"B", L"2"}}}}},
      {"pairs before the first header are dropped", L"A=B\r\n=\r\n[S]\r\nA=C\r\n", {{L"S", {{L"A", L"C"}}}}},
      {"a repeated key keeps the later value", L"[S]\r\nK=1\r\nK=2\r\nK=3\r\n", {{L"S", {{L"K", L"3"}}}}},
      {"the translation resource's own lines",
       L"[Menu]\r\n[Window]\r\n&Next >=\u6b21\u3078(&N) >\r\n< &Back=< \u623b\u308b(&B)\r\n",
       {{L"Menu", {}}, {L"Window", {{L"&Next >", L"\u6b21\u3078(&N) >"}, {L"< &Back", L"< \u623b\u308b(&B)"}}}}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    IniDocument document;
    EXPECT_TRUE(document.loadText(c.text));
    EXPECT_EQ(contentsOf(document), c.expected);
  }
}

TEST(IniLineRule, RepeatedSectionsAreKeptApartAndFoundFirst) {
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[A]\r\nk=1\r\n[B]\r\n[A]\r\nk=2\r\nj=3\r\n"));
  EXPECT_EQ(document.findSection(L"A"), 0);
  EXPECT_EQ(document.findSection(L"B"), 1);
  EXPECT_EQ(contentsOf(document), (Contents{{L"A", {{L"k", L"1"}}}, {L"B", {}}, {L"A", {{L"k", L"2"}, {L"j", L"3"}}}}));
}

TEST(IniLineRule, SectionNamesAndKeysMatchExactly) {
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[Text]\r\nKey=1\r\n&Next >=2\r\n"));
  EXPECT_EQ(document.findSection(L"Text"), 0);
  for (const wchar_t* name : {L"text", L"TEXT", L" Text", L"Text ", L"[Text]", L""})
    EXPECT_EQ(document.findSection(name), -1) << name;

  const EntryTable& entries = document.sectionEntries(0);
  ASSERT_NE(entries.lookup(L"Key"), nullptr);
  EXPECT_EQ(*entries.lookup(L"Key"), L"1");
  ASSERT_NE(entries.lookup(L"&Next >"), nullptr);
  for (const wchar_t* key : {L"key", L"KEY", L"Key ", L"Next >", L"&Next>", L"&Next >\r\n", L""})
    EXPECT_EQ(entries.lookup(key), nullptr) << key;
}

// ---------------------------------------------------------------------------
// Escapes

TEST(UnescapeText, TurnsEscapesIntoCharacters) {
  const std::vector<std::pair<std::wstring, std::wstring>> cases = {
      {L"", L""},
      {L"plain text: no escapes, 100% & more", L"plain text: no escapes, 100% & more"},
      {L"one\\ntwo", L"one\ntwo"},
      {L"\\r\\t\\n", L"\r\t\n"},
      {L"a\\\\b", L"a\\b"},
      {L"\\\\n", L"\\n"},  // an escaped backslash does not escape the n
      {L"\\\"quoted\\\"", L"\"quoted\""},
      {L"say \"hi\"", L"say hi"},
      {L"\"", L""},
      {L"\\q\\N\\0", L"\\q\\N\\0"},
      {L"end\\", L"end"},
      {L"\\", L""},
      {L"end\\\\", L"end\\"},
      // Why install logs are read without unescaping.
      {L"C:\\Program Files\\new\\tools", L"C:\\Program Files\new\tools"},
  };
  for (const auto& c : cases) EXPECT_EQ(unescapeText(c.first), c.second);
}

TEST(UnescapeText, OnLoadOnlyWhenAsked) {
  // Key and value are unescaped separately after the split, so a key that
  // ends in a backslash does not swallow the "=".
  const std::wstring text = L"[S]\r\nsay \\\"hi\\\"\\n=\"a\\tb\\q\\\r\nk\\=v\r\nC:\\new\\x=\r\n";
  IniDocument plain;
  ASSERT_TRUE(plain.loadText(text));
  EXPECT_EQ(contentsOf(plain),
            (Contents{{L"S", {{L"say \\\"hi\\\"\\n", L"\"a\\tb\\q\\"}, {L"k\\", L"v"}, {L"C:\\new\\x", L""}}}}));

  IniDocument unescaped;
  unescaped.unescapeOnLoad = true;
  ASSERT_TRUE(unescaped.loadText(text));
  EXPECT_EQ(contentsOf(unescaped),
            (Contents{{L"S", {{L"say \"hi\"\n", L"a\tb\\q"}, {L"k", L"v"}, {L"C:\new\\x", L""}}}}));
  // The flag is a setting of the document, not of one load.
  unescaped.clear();
  EXPECT_TRUE(unescaped.unescapeOnLoad);
}

// ---------------------------------------------------------------------------
// Loading

TEST(IniDocumentLoad, EmptyTextFailsAndStillEmptiesTheDocument) {
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[S]\r\nA=1\r\n"));
  document.sourcePath = L"C:\\old.log";
  EXPECT_FALSE(document.loadText(L""));
  EXPECT_TRUE(document.sections.empty());
  EXPECT_TRUE(document.sourcePath.empty());
}

TEST(IniDocumentLoad, TextWithoutEntriesStillSucceeds) {
  IniDocument document;
  EXPECT_TRUE(document.loadText(L"; nothing\r\n\r\n// here\r\nno equals\r\n"));
  EXPECT_TRUE(document.sections.empty());
  EXPECT_TRUE(document.loadText(L"[A]\r\n[B]\r\n"));
  EXPECT_EQ(contentsOf(document), (Contents{{L"A", {}}, {L"B", {}}}));
}

TEST(IniDocumentLoad, LoadingAgainReplacesEverything) {
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[A]\r\nx=1\r\n[B]\r\ny=2\r\n"));
  document.sourcePath = L"C:\\old.log";
  ASSERT_TRUE(document.loadText(L"[A]\r\nz=3\r\n"));
  EXPECT_EQ(contentsOf(document), (Contents{{L"A", {{L"z", L"3"}}}}));
  EXPECT_TRUE(document.sourcePath.empty());
}

TEST(IniDocumentLoad, IndexesOutOfRangeGiveNothing) {
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[S]\r\nA=1\r\n"));
  for (int index : {-1, 1, 1000}) {
    EXPECT_EQ(document.sectionName(index), L"");
    const EntryTable& none = document.sectionEntries(index);
    EXPECT_EQ(none.entryCount(), 0);
    EXPECT_EQ(none.lookup(L"A"), nullptr);
    std::wstring key = L"kept", value = L"kept";
    EXPECT_FALSE(none.entryAt(0, key, value));
  }
  EXPECT_EQ(&document.sectionEntries(-1), &IniDocument().sectionEntries(0));
}

TEST(IniDocumentFile, ReadsAFileAndRecordsItsPath) {
  TempFolder temp;
  const std::wstring path = temp / L"install.log";
  test::writeBytes(path,
                   "[Install]\r\nC:\\Program Files\\Tonvane\\new.txt=\r\n"
                   "C:\\Program Files\\Tonvane\\Tonvane.exe=\r\n");
  IniDocument document;
  ASSERT_TRUE(document.loadFile(path));
  EXPECT_EQ(document.sourcePath, path);
  EXPECT_EQ(
      contentsOf(document),
      (Contents{{L"Install",
                 {{L"C:\\Program Files\\Tonvane\\new.txt", L""}, {L"C:\\Program Files\\Tonvane\\Tonvane.exe", L""}}}}));
}

TEST(IniDocumentFile, ReadsFilesAroundTheSmallestChunkWhole) {
  TempFolder temp;
  // 2,047 to 2,049 bytes and a file many times larger.
  for (int size : {2047, 2048, 2049, 300000}) {
    std::string bytes = "[S]\r\n";
    int lines = 0;
    while (bytes.size() + 17 <= static_cast<std::size_t>(size)) {
      char line[16];
      std::snprintf(line, sizeof line, "k%07d=v\r\n", lines++);
      bytes += line;
    }
    bytes += "last=" + std::string(static_cast<std::size_t>(size) - bytes.size() - 5, 'x');
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(size));
    const std::wstring path = temp / (std::to_wstring(size) + L".ini");
    test::writeBytes(path, bytes);

    IniDocument document;
    ASSERT_TRUE(document.loadFile(path)) << size;
    const EntryTable& entries = document.sectionEntries(0);
    EXPECT_EQ(entries.entryCount(), lines + 1) << size;
    ASSERT_NE(entries.lookup(L"last"), nullptr);
    EXPECT_EQ(entries.lookup(L"last")->size(), static_cast<std::size_t>(size) - bytes.rfind('=') - 1);
  }
}

TEST(IniDocumentFile, ReadsAFileAnotherProgramHasOpenForWriting) {
  TempFolder temp;
  const std::wstring path = temp / L"busy.log";
  test::writeBytes(path, "[Install]\r\nC:\\a.txt=\r\n");
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  IniDocument document;
  EXPECT_TRUE(document.loadFile(path));
  EXPECT_EQ(contentsOf(document), (Contents{{L"Install", {{L"C:\\a.txt", L""}}}}));
  CloseHandle(writer);
}

TEST(IniDocumentFile, UnopenableFilesLeaveTheDocumentAlone) {
  TempFolder temp;
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[S]\r\nA=1\r\n"));
  document.sourcePath = L"C:\\previous.log";
  const Contents before = contentsOf(document);

  for (const std::wstring& path : {std::wstring(), temp / L"missing.log", temp / L"no\\such\\x.log", temp.path()}) {
    EXPECT_FALSE(document.loadFile(path));
    EXPECT_EQ(contentsOf(document), before);
    EXPECT_EQ(document.sourcePath, L"C:\\previous.log");
  }
}

TEST(IniDocumentFile, AnEmptyFileFailsAndEmptiesTheDocument) {
  TempFolder temp;
  test::writeBytes(temp / L"empty.log", "");
  IniDocument document;
  ASSERT_TRUE(document.loadText(L"[S]\r\nA=1\r\n"));
  document.sourcePath = L"C:\\previous.log";
  EXPECT_FALSE(document.loadFile(temp / L"empty.log"));
  EXPECT_TRUE(document.sections.empty());
  EXPECT_TRUE(document.sourcePath.empty());
}

// ---------------------------------------------------------------------------
// Entry order

TEST(EntryTableHash, KnownValues) {
  // "A": 0 * 33 + 65 = 65.  "AB": 65 * 33 + 66 = 2211.
  EXPECT_EQ(EntryTable::hashKey(L""), 0u);
  EXPECT_EQ(EntryTable::hashKey(L"A"), 65u);
  EXPECT_EQ(EntryTable::hashKey(L"AB"), 2211u);
  // 0x6B21 * 33 + 0x3078: code units, not bytes of some encoding.
  EXPECT_EQ(EntryTable::hashKey(L"\u6b21\u3078"), 917433u);
  // Above 2^31, and wrapped at 2^32 many times over.
  EXPECT_EQ(EntryTable::hashKey(L"Path38"), 3250149464u);
  EXPECT_EQ(EntryTable::hashKey(L"C:\\Program Files\\Tonvane\\file0.txt"), 3673672181u);
}

TEST(EntryTableHash, BucketCountsForEntryCounts) {
  const std::vector<std::pair<int, int>> cases = {
      {0, 17},
      {12, 17},
      {13, 17},  // 13 / 0.75 = 17.3: still 17
      {14, 23},
      {39, 53},
      {40, 53},
      {41, 67},
      {119, 163},
      {15000, 20663},
      {20000, 32771},
      {9987067, 13316089},  // the last of the list, exactly
      {9987068, 13316090},  // beyond it: n / 0.75 itself
  };
  for (const auto& c : cases) EXPECT_EQ(EntryTable::bucketCountFor(c.first), c.second) << c.first;
}

TEST(EntryTableOrder, AnEmptyTable) {
  EntryTable table;
  EXPECT_EQ(table.entryCount(), 0);
  EXPECT_EQ(table.bucketCount(), 17);
  EXPECT_EQ(table.lookup(L""), nullptr);
  table.rebuild(0);
  EXPECT_EQ(table.bucketCount(), 17);
  EXPECT_TRUE(orderOf(table).empty());
}

TEST(EntryTableOrder, CollidingKeysEnumerateNewestFirst) {
  // Buckets of 17: "A" 65 % 17 = 14, "R" 82 % 17 = 14, "c" 99 % 17 = 14,
  // "B" 66 % 17 = 15, "AB" 2211 % 17 = 1.
  EntryTable table;
  for (const wchar_t* key : {L"A", L"B", L"R", L"c", L"AB"}) table.set(key, key);
  EXPECT_EQ(orderOf(table), (Keys{L"AB", L"c", L"R", L"A", L"B"}));

  // Replacing a value keeps the entry where it is.
  table.set(L"R", L"new");
  table.set(L"A", L"");
  EXPECT_EQ(orderOf(table), (Keys{L"AB", L"c", L"R", L"A", L"B"}));
  EXPECT_EQ(table.entryCount(), 5);
  EXPECT_EQ(*table.lookup(L"R"), L"new");
  EXPECT_EQ(*table.lookup(L"A"), L"");

  std::wstring key = L"kept", value = L"kept";
  EXPECT_FALSE(table.entryAt(5, key, value));
  EXPECT_FALSE(table.entryAt(-1, key, value));
  EXPECT_EQ(key, L"kept");
  EXPECT_EQ(value, L"kept");
  ASSERT_TRUE(table.entryAt(4, key, value));
  EXPECT_EQ(key, L"B");
  EXPECT_EQ(value, L"B");
}

TEST(EntryTableOrder, ANewKeyShowsUpInAnOrderReadBefore) {
  EntryTable table;
  table.set(L"A", L"1");
  std::wstring key, value;
  ASSERT_TRUE(table.entryAt(0, key, value));
  EXPECT_EQ(key, L"A");
  table.set(L"U", L"2");  // 85 % 17 = 0: ahead of "A" in bucket 14
  ASSERT_TRUE(table.entryAt(0, key, value));
  EXPECT_EQ(key, L"U");
  ASSERT_TRUE(table.entryAt(1, key, value));
  EXPECT_EQ(key, L"A");
}

TEST(EntryTableOrder, GrowsFrom17To53BucketsAtThe39thKey) {
  EntryTable table;
  for (int i = 0; i < 38; ++i) table.set(L"Path" + std::to_wstring(i), L"");
  EXPECT_EQ(table.bucketCount(), 17);
  EXPECT_EQ(orderOf(table),
            numbered(L"Path", {8,  9,  30, 31, 20, 32, 21, 10, 33, 22, 11, 34, 23, 12, 35, 24, 13, 36, 25,
                               14, 37, 26, 15, 0,  27, 16, 1,  28, 17, 2,  29, 18, 3,  19, 4,  5,  6,  7}));

  table.set(L"Path38", L"");
  EXPECT_EQ(table.bucketCount(), 53);
  table.set(L"Path39", L"");
  EXPECT_EQ(table.bucketCount(), 53);
  const Keys after =
      numbered(L"Path", {20, 21, 0,  22, 1,  23, 2,  24, 3,  25, 4,  26, 5,  27, 6,  28, 7,  29, 8,  9,
                         10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39});
  EXPECT_EQ(orderOf(table), after);

  // Rebuilding for a count that needs the same buckets changes nothing (it
  // would reverse the pairs sharing a bucket, such as Path22 and Path0).
  table.rebuild(40);
  EXPECT_EQ(orderOf(table), after);
}

TEST(EntryTableOrder, GrowsWhenTheCountPassesTwoAndAQuarterPerBucket) {
  EntryTable table;
  std::vector<std::pair<int, int>> growth;
  for (int i = 1; i <= 400; ++i) {
    const int before = table.bucketCount();
    table.set(L"k" + std::to_wstring(i), L"");
    if (table.bucketCount() != before) growth.emplace_back(i, table.bucketCount());
  }
  EXPECT_EQ(growth, (std::vector<std::pair<int, int>>{{39, 53}, {120, 163}, {367, 521}}));
}

const std::vector<int> kInstallOrder163 = {
    60, 12, 98, 23, 71, 82, 34, 45, 93, 5,  56, 67, 19, 40, 0,  78, 51, 89, 62, 14, 25, 73, 84, 36, 47,
    95, 20, 7,  58, 31, 69, 90, 42, 2,  53, 16, 64, 75, 27, 38, 86, 11, 97, 49, 70, 22, 9,  33, 81, 92,
    44, 4,  55, 18, 66, 77, 29, 50, 88, 61, 13, 99, 24, 72, 83, 35, 46, 94, 6,  57, 30, 68, 41, 1,  79,
    52, 63, 15, 74, 26, 85, 37, 10, 48, 96, 21, 8,  59, 32, 80, 91, 43, 3,  54, 17, 65, 76, 28, 39, 87};

TEST(EntryTableOrder, LoadingSettlesEachSectionOnItsFinalCount) {
  const std::wstring prefix = L"C:\\Program Files\\Tonvane\\file";
  std::wstring text = L"[Install]\r\n";
  for (int i = 0; i < 100; ++i) text += prefix + std::to_wstring(i) + L".txt=\r\n";
  text += L"[Small]\r\nA=\r\nB=\r\nR=\r\nc=\r\nAB=\r\n";

  // Filled one key at a time, 100 entries stop at 53 buckets...
  EntryTable grown;
  for (int i = 0; i < 100; ++i) grown.set(prefix + std::to_wstring(i) + L".txt", L"");
  EXPECT_EQ(grown.bucketCount(), 53);

  // ...and loading moves them to the 163 that 100 entries call for.
  IniDocument document;
  ASSERT_TRUE(document.loadText(text));
  const EntryTable& install = document.sectionEntries(document.findSection(L"Install"));
  EXPECT_EQ(install.bucketCount(), 163);
  EXPECT_EQ(orderOf(install), numbered(prefix, kInstallOrder163, L".txt"));

  const EntryTable& small = document.sectionEntries(document.findSection(L"Small"));
  EXPECT_EQ(small.bucketCount(), 17);
  EXPECT_EQ(orderOf(small), (Keys{L"AB", L"c", L"R", L"A", L"B"}));

  // A third of the 163 buckets hold two entries; settling again on the same
  // count must not reverse them.
  EntryTable again = install;
  again.rebuild(100);
  EXPECT_EQ(orderOf(again), numbered(prefix, kInstallOrder163, L".txt"));
}

TEST(EntryTableOrder, AnInstallLogOfTwentyThousandPaths) {
  std::wstring text = L"[Install]\r\n";
  for (int i = 0; i < 20000; ++i)
    text += L"C:\\Tonvane\\file" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L"\r\n";
  IniDocument document;
  ASSERT_TRUE(document.loadText(text));
  const EntryTable& entries = document.sectionEntries(0);
  EXPECT_EQ(entries.entryCount(), 20000);
  EXPECT_EQ(entries.bucketCount(), 32771);

  std::set<std::wstring> seen;
  std::wstring key, value;
  for (int i = 0; i < entries.entryCount(); ++i) {
    ASSERT_TRUE(entries.entryAt(i, key, value));
    ASSERT_EQ(key, L"C:\\Tonvane\\file" + value);
    seen.insert(key);
  }
  EXPECT_EQ(seen.size(), 20000u);
  EXPECT_FALSE(entries.entryAt(20000, key, value));
}

}  // namespace
