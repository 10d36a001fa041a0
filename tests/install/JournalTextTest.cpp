// The install journal's text: what is written, what is read back, and every
// near miss that must not be taken for a journal, since an elevated run acts
// on what it reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JournalText.h"

namespace tonvane {

bool operator==(const JournalFile& a, const JournalFile& b) { return a.path == b.path && a.existed == b.existed; }

bool operator==(const Journal& a, const Journal& b) {
  return a.phase == b.phase && a.folderMade == b.folderMade && a.folders == b.folders && a.files == b.files;
}

}  // namespace tonvane

using namespace tonvane;
using namespace std::string_literals;

namespace {

const std::string kExampleText =
    "Tonvane install journal 1\r\n"
    "Phase=Staging\r\n"
    "FolderMade=1\r\n"
    "Folder=resource\r\n"
    "Folder=resource\\icons\r\n"
    "File=1 Tonvane.exe\r\n"
    "File=0 resource\\icons\\new.png\r\n"
    "End\r\n";

Journal example() {
  Journal journal;
  journal.phase = JournalPhase::Staging;
  journal.folderMade = true;
  journal.folders = {L"resource", L"resource\\icons"};
  journal.files = {{L"Tonvane.exe", true}, {L"resource\\icons\\new.png", false}};
  return journal;
}

// The example with the first `from` replaced by `to`.
std::string mutated(const std::string& from, const std::string& to) {
  std::string text = kExampleText;
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(JournalText, WritesTheDocumentedText) { EXPECT_EQ(journalBytes(example()), kExampleText); }

TEST(JournalText, ReadsBackWhatItWrites) {
  Journal japanese;
  japanese.phase = JournalPhase::Switching;
  japanese.folders = {L"\u65e5\u672c\u8a9e"};
  japanese.files = {{L"\u65e5\u672c\u8a9e\\\u30d5\u30a1\u30a4\u30eb.txt", true}, {L"\U0001F3B5 score.wav", false}};
  Journal empty;
  empty.phase = JournalPhase::RollingBack;

  struct Case {
    const char* label;
    Journal journal;
    std::string containing;  // bytes the text must hold
  } cases[] = {
      {"example", example(), "File=0 resource\\icons\\new.png\r\n"},
      {"Japanese and outside the BMP", japanese,
       "File=1 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\\\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt\r\n"
       "File=0 \xF0\x9F\x8E\xB5 score.wav\r\n"},
      {"nothing listed", empty, "Phase=RollingBack\r\nFolderMade=0\r\nEnd\r\n"},
  };
  for (const Case& c : cases) {
    const std::string bytes = journalBytes(c.journal);
    EXPECT_NE(bytes.find(c.containing), std::string::npos) << c.label << ": " << bytes;
    Journal read;
    ASSERT_TRUE(parseJournal(bytes, read)) << c.label;
    EXPECT_TRUE(read == c.journal) << c.label;
  }
}

TEST(JournalText, LeavesOutPathsItCouldNotReadBack) {
  Journal journal = example();
  journal.folders = {L"resource", L"..\\up", L"RESOURCE", L"resource\\.", L"icons\\"};
  journal.files = {{L"Tonvane.exe", true},  {L"C:\\Windows\\evil.dll", false},
                   {L"tonvane.EXE", false}, {L"a\xD800", false},
                   {L"new.png.", false},    {L"resource\\icons\\new.png", false}};
  const std::string bytes = journalBytes(journal);
  EXPECT_EQ(bytes, mutated("Folder=resource\\icons\r\n", ""));
}

TEST(JournalText, IsJournalPath) {
  const struct {
    std::wstring path;
    bool accepted;
  } cases[] = {
      {L"Tonvane.exe", true},
      {L"resource\\icons\\new.png", true},
      {L".hidden\\a..b\\ lead", true},
      {L"\u65e5\u672c\u8a9e\\\U0001F3B5.wav", true},
      {L"", false},
      {L"\\Windows", false},
      {L"C:\\Windows", false},
      {L"a:stream", false},
      {L"..\\x", false},
      {L"a\\. .\\x", false},
      {L"resource\\nul.txt", false},
      {L"a/b", false},
      {L"a\\", false},
      {L"a\\\\b", false},
      {L".", false},
      {L"a\\.\\b", false},
      {L"a.", false},
      {L"a \\b", false},
      {L"tab\there", false},
      {L"a\xD800", false},
      {L"a\xDC00"
       L"b",
       false},
  };
  for (const auto& c : cases) EXPECT_EQ(isJournalPath(c.path), c.accepted) << testing::PrintToString(c.path);
}

TEST(JournalText, RefusesEveryNearMiss) {
  Journal valid;
  ASSERT_TRUE(parseJournal(kExampleText, valid));
  ASSERT_TRUE(valid == example());

  const struct {
    const char* label;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"wrong first line", mutated("journal 1", "journal 2")},
      {"byte-order mark", "\xEF\xBB\xBF" + kExampleText},
      {"missing End", mutated("End\r\n", "")},
      {"End without its CR LF", mutated("End\r\n", "End")},
      {"line after End", kExampleText + "File=0 later.txt\r\n"},
      {"empty line after End", kExampleText + "\r\n"},
      {"byte after End", kExampleText + "x"},
      {"LF without CR", mutated("FolderMade=1\r\n", "FolderMade=1\n")},
      {"CR without LF", mutated("Tonvane.exe\r\n", "Tonvane.exe\rx\r\n")},
      {"empty line", mutated("End\r\n", "\r\nEnd\r\n")},
      {"..", mutated("resource\\icons\\new.png", "resource\\..\\..\\new.png")},
      {"drive path", mutated("1 Tonvane.exe", "1 C:\\Windows\\evil.dll")},
      {"leading backslash", mutated("1 Tonvane.exe", "1 \\Windows\\evil.dll")},
      {"stream colon", mutated("Tonvane.exe", "Tonvane.exe:evil")},
      {"device name", mutated("new.png", "CON")},
      {"forward slash", mutated("resource\\icons\\new.png", "resource/icons/new.png")},
      {"dot step", mutated("Folder=resource\\icons", "Folder=resource\\.\\icons")},
      {"empty step", mutated("Folder=resource\\icons", "Folder=resource\\\\icons")},
      {"trailing backslash", mutated("Folder=resource\\icons", "Folder=resource\\icons\\")},
      {"trailing dot", mutated("Tonvane.exe", "Tonvane.exe.")},
      {"empty path", mutated("0 resource\\icons\\new.png", "0 ")},
      {"repeated file", mutated("0 resource\\icons\\new.png", "0 TONVANE.EXE")},
      {"repeated folder", mutated("Folder=resource\\icons", "Folder=Resource")},
      {"bad phase", mutated("Phase=Staging", "Phase=Done")},
      {"phase in lower case", mutated("Phase=Staging", "Phase=staging")},
      {"FolderMade=2", mutated("FolderMade=1", "FolderMade=2")},
      {"FolderMade missing", mutated("FolderMade=1\r\n", "")},
      {"Phase twice", mutated("FolderMade=1\r\n", "FolderMade=1\r\nPhase=Staging\r\n")},
      {"FolderMade before Phase", mutated("Phase=Staging\r\nFolderMade=1", "FolderMade=1\r\nPhase=Staging")},
      {"File line before Phase", mutated("Phase=", "File=0 early.txt\r\nPhase=")},
      {"Folder line after a File line", mutated("End\r\n", "Folder=late\r\nEnd\r\n")},
      {"existed flag 2", mutated("File=1 ", "File=2 ")},
      {"no blank after the flag", mutated("File=1 ", "File=1")},
      {"unknown key", mutated("File=1 ", "file=1 ")},
      {"blank before a key", mutated("File=1 ", " File=1 ")},
      {"overlong UTF-8", mutated("Tonvane.exe",
                                 "Tonvane\xC0\xAE"
                                 "exe")},
      {"overlong three-byte form", mutated("Tonvane.exe",
                                           "Tonvane\xE0\x80\xAE"
                                           "exe")},
      {"lone surrogate in UTF-8", mutated("Tonvane.exe", "Tonvane\xED\xA0\x80.exe")},
      {"surrogate pair as two sequences", mutated("Tonvane.exe", "Tonvane\xED\xA0\xBD\xED\xB8\x80.exe")},
      {"above U+10FFFF", mutated("Tonvane.exe", "Tonvane\xF4\x90\x80\x80.exe")},
      {"cut-short sequence", mutated("Tonvane.exe", "Tonvane.ex\xE6\x97")},
      {"stray continuation byte", mutated("Tonvane.exe", "Tonvane\x80.exe")},
      {"NUL in a path", mutated("Tonvane.exe", "Tonvane.exe\0x"s)},
      {"NUL after a key's value", mutated("Phase=Staging", "Phase=Staging\0"s)},
  };
  for (const auto& c : cases) {
    Journal journal = example();
    journal.files.push_back({L"kept.txt", true});
    const Journal before = journal;
    EXPECT_FALSE(parseJournal(c.text, journal)) << c.label;
    EXPECT_TRUE(journal == before) << c.label << ": the journal was changed";
  }
}

TEST(JournalText, ReadsUpToTheLongestJournalAndNoFurther) {
  // A few long names rather than many short ones: Wine's heap takes minutes
  // over a hundred thousand small blocks freed and taken in turn.
  Journal journal;
  const std::size_t lineAround = std::string("File=0 \r\n").size();
  const std::size_t longName = 1u << 20;
  std::size_t size = journalBytes(journal).size();
  for (wchar_t letter = L'a'; kLongestJournal - size > 2 * (longName + lineAround); ++letter) {
    journal.files.push_back({std::wstring(longName, letter), false});
    size += longName + lineAround;
  }
  journal.files.push_back({std::wstring(kLongestJournal - size - lineAround, L'z'), false});
  std::string bytes = journalBytes(journal);
  ASSERT_EQ(bytes.size(), kLongestJournal);
  Journal read;
  EXPECT_TRUE(parseJournal(bytes, read));
  EXPECT_EQ(read.files.size(), journal.files.size());

  journal.files.back().path += L'z';
  bytes = journalBytes(journal);
  ASSERT_EQ(bytes.size(), kLongestJournal + 1);
  EXPECT_FALSE(parseJournal(bytes, read));
}

}  // namespace
