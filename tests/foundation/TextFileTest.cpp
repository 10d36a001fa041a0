// Text files in the ANSI code page, run once on an English system (1252) and
// once on a Japanese one (932); TONVANE_EXPECT_ACP says which this run is.
#include <windows.h>

#include <gtest/gtest.h>

#include "AnsiText.h"
#include "FileHandle.h"
#include "TestFiles.h"

using namespace tonvane;
using tonvane::test::TempFolder;

namespace {

bool japaneseSystem() { return GetACP() == 932; }

TEST(TextFile, RunsOnTheSystemCtestAskedFor) {
  const std::string expected = test::environment("TONVANE_EXPECT_ACP");
  ASSERT_FALSE(expected.empty()) << "run through ctest";
  EXPECT_EQ(std::to_string(GetACP()), expected);
}

TEST(TextFile, RoundTripsTextOfTheCodePage) {
  TempFolder folder;
  // Characters outside ASCII that the code page holds, one or two bytes each.
  const std::wstring text = japaneseSystem() ? L"\u65e5\u672c\u8a9e\u30c6\u30ad\u30b9\u30c8\r\nA=\uff71"
                                             : L"caf\u00e9 na\u00efve\r\n\u00a3 \u20ac";
  const std::string bytes = japaneseSystem()
                                ? std::string("\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67\r\nA=\xb1")
                                : std::string("caf\xe9 na\xefve\r\n\xa3 \x80");
  {
    FileHandle file;
    ASSERT_TRUE(file.openForCreating(folder / L"text.txt"));
    EXPECT_TRUE(file.writeText(text));
  }
  EXPECT_EQ(test::readBytes(folder / L"text.txt"), bytes);

  FileHandle file;
  ASSERT_TRUE(file.openForReadingText(folder / L"text.txt"));
  std::wstring read;
  EXPECT_TRUE(file.readAllText(2048, read));
  EXPECT_EQ(read, text);
}

TEST(TextFile, ReadsAByteOrderMarkAsAnsiCharacters) {
  TempFolder folder;
  test::writeBytes(folder / L"bom.txt", "\xEF\xBB\xBFkey=value");
  FileHandle file;
  ASSERT_TRUE(file.openForReadingText(folder / L"bom.txt"));
  std::wstring read;
  ASSERT_TRUE(file.readAllText(2048, read));
  // In 1252 the mark is three letters. In 932, EF BB is a lead byte with a
  // trail byte that has no character (the default, U+30FB) and BF a
  // half-width katakana.
  const std::wstring mark = japaneseSystem() ? L"\u30fb\uff7f" : L"\u00ef\u00bb\u00bf";
  EXPECT_EQ(read, mark + L"key=value");
}

TEST(TextFile, WritesTheDefaultCharacterForWhatTheCodePageLacks) {
  TempFolder folder;
  const std::wstring text = japaneseSystem() ? L"a\uac00b" : L"a\u65e5b";  // Hangul / kanji
  {
    FileHandle file;
    ASSERT_TRUE(file.openForCreating(folder / L"lossy.txt"));
    EXPECT_TRUE(file.writeText(text));
  }
  EXPECT_EQ(test::readBytes(folder / L"lossy.txt"), "a?b");
}

TEST(TextFile, EmptyFilesAndEmptyTexts) {
  TempFolder folder;
  test::writeBytes(folder / L"empty.txt", "");
  FileHandle file;
  ASSERT_TRUE(file.openForReadingText(folder / L"empty.txt"));
  std::wstring read = L"previous";
  EXPECT_FALSE(file.readAllText(2048, read));
  EXPECT_TRUE(read.empty());
  file.close();

  // A closed file or a chunk size below 1 leaves the output alone.
  read = L"kept";
  EXPECT_FALSE(file.readAllText(2048, read));
  ASSERT_TRUE(file.openForReadingText(folder / L"empty.txt"));
  EXPECT_FALSE(file.readAllText(0, read));
  EXPECT_EQ(read, L"kept");
  file.close();

  FileHandle writer;
  ASSERT_TRUE(writer.openForCreating(folder / L"nothing.txt"));
  EXPECT_FALSE(writer.writeText(L""));
  writer.close();
  EXPECT_EQ(test::readBytes(folder / L"nothing.txt"), "");
  EXPECT_TRUE(test::fileExists(folder / L"nothing.txt"));
}

TEST(TextFile, ReadsFilesLargerThanOneChunk) {
  TempFolder folder;
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += "Path" + std::to_string(i) + "=C:\\x\r\n";
  test::writeBytes(folder / L"big.txt", bytes);
  FileHandle file;
  ASSERT_TRUE(file.openForReadingText(folder / L"big.txt"));
  EXPECT_EQ(file.size(), bytes.size());
  std::wstring read;
  ASSERT_TRUE(file.readAllText(2048, read));
  EXPECT_EQ(read, std::wstring(bytes.begin(), bytes.end()));
}

TEST(AnsiText, DecodesExactlyTheBytesGivenAndEncodesUpToTheFirstZero) {
  EXPECT_EQ(decodeAnsiText("abc", 2), L"ab");
  EXPECT_EQ(decodeAnsiText("a\0b", 3), std::wstring(L"a\0b", 3));
  EXPECT_EQ(decodeAnsiText("", 0), L"");
  EXPECT_EQ(decodeAnsiText(nullptr, 0), L"");
  EXPECT_EQ(encodeAnsiText(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(encodeAnsiText(L""), "");
  // Shift-JIS resources decode the same on every system.
  EXPECT_EQ(decodeCodePageText("\x93\xfa\x96\x7b", 4, 932), L"\u65e5\u672c");
}

TEST(FileHandle, OpenModesAndSharing) {
  TempFolder folder;
  const std::wstring path = folder / L"file.bin";

  FileHandle missing;
  EXPECT_FALSE(missing.openForReadingText(path));
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.read(nullptr, 0), 0u);

  test::writeBytes(path, "old contents");
  {
    FileHandle create;
    ASSERT_TRUE(create.openForCreating(path));
    EXPECT_EQ(create.path(), path);
    EXPECT_EQ(create.size(), 0u);  // emptied
    // Nobody else opens a file while it is being created.
    HANDLE other =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    EXPECT_EQ(create.write("new", 3), 3u);
    create.close();
    EXPECT_FALSE(create.isOpen());
    EXPECT_TRUE(create.path().empty());
    create.close();  // repeated close is harmless
  }
  EXPECT_EQ(test::readBytes(path), "new");

  // A text file being read can be written by someone else meanwhile.
  FileHandle reader;
  ASSERT_TRUE(reader.openForReadingText(path));
  HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
  EXPECT_EQ(reader.write("x", 1), 0u);  // opened for reading only
  char buffer[8] = {};
  EXPECT_EQ(reader.read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(reader.read(buffer, sizeof buffer), 0u);  // end of file
}

// A disk that fills up half-way through the text: not every byte arrived,
// and that is a failure, not a text written.
TEST(TextFile, ATextThatDoesNotFitOnTheDiskIsNotWritten) {
  // A small disk of its own, mounted by the test harness where it may.
  const std::string small = test::environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring disk = test::winePathOfUnixPath(small) + L"\\";
  DeleteFileW((disk + L"filler").c_str());
  DeleteFileW((disk + L"text.txt").c_str());
  ASSERT_TRUE(test::fillDiskLeaving(disk + L"filler", 8192));

  {
    FileHandle writer;
    ASSERT_TRUE(writer.openForCreating(disk + L"text.txt"));
    EXPECT_FALSE(writer.writeText(std::wstring(64 * 1024, L'a')));
    EXPECT_FALSE(writer.writeAll(std::string(64 * 1024, 'b').data(), 64 * 1024));
  }
  EXPECT_LT(test::readBytes(disk + L"text.txt").size(), 64u * 1024);
  DeleteFileW((disk + L"text.txt").c_str());
  DeleteFileW((disk + L"filler").c_str());
}

}  // namespace
