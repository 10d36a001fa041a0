#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "Extraction.h"
#include "InstallLog.h"
#include "LongNames.h"
#include "TestFiles.h"
#include "ZipBuilder.h"

using namespace tonvane;
using tonvane::test::TempFolder;

namespace {

using Paths = std::vector<std::wstring>;

void touch(const std::wstring& path) { test::writeBytes(path, "x"); }

std::string ansi(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c);  // ASCII only
  return bytes;
}

TEST(SamePath, FoldsAsciiCaseAndOneTrailingBackslash) {
  EXPECT_TRUE(samePath(L"C:\\No\\Such\\Folder\\", L"c:\\no\\such\\folder"));
  EXPECT_FALSE(samePath(L"C:\\No\\Such\\Folder\\\\", L"C:\\No\\Such\\Folder"));
  EXPECT_FALSE(samePath(L"C:\\No\\\u00c9t\u00e9", L"C:\\No\\\u00e9t\u00e9"));
  EXPECT_FALSE(samePath(L"C:\\No\\a", L"C:\\No\\b"));
}

TEST(SamePath, ComparesExistingPathsInTheirLongForm) {
  TempFolder temp;
  const std::wstring folder = temp / L"Tonvane Free Folder";
  CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t shortForm[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH), 0u);
  ASSERT_EQ(std::wstring(shortForm).find(L"Tonvane Free Folder"), std::wstring::npos) << shortForm;
  EXPECT_TRUE(samePath(folder + L"\\", shortForm));
}

TEST(LongNames, AgreeWithTheSystemsLongForm) {
  TempFolder temp;
  const std::wstring folder = temp / L"Tonvane Free Folder";
  CreateDirectoryW(folder.c_str(), nullptr);
  touch(folder + L"\\A Long File Name.txt");
  wchar_t shortFolder[MAX_PATH] = {}, shortFile[MAX_PATH] = {};
  GetShortPathNameW(folder.c_str(), shortFolder, MAX_PATH);
  GetShortPathNameW((folder + L"\\A Long File Name.txt").c_str(), shortFile, MAX_PATH);
  std::wstring lower = folder;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));

  LongNames names;
  std::vector<std::wstring> paths = {folder,
                                     folder + L"\\",
                                     lower,
                                     shortFolder,
                                     std::wstring(shortFolder) + L"\\",
                                     shortFile,
                                     folder + L"\\a long file name.TXT",
                                     folder + L"\\missing.txt",
                                     temp / L"x\\..\\Tonvane Free Folder",
                                     L"C:\\",
                                     L"c:\\windows\\SYSTEM32",
                                     folder + L"/A Long File Name.txt",
                                     folder + L"\\" + std::wstring(250, L'n')};
  for (const std::wstring& path : paths) EXPECT_EQ(names.longForm(path), systemLongForm(path)) << path.c_str();

  // A file written after its folder was listed is still found.
  touch(folder + L"\\Written Later.txt");
  wchar_t shortLater[MAX_PATH] = {};
  GetShortPathNameW((folder + L"\\Written Later.txt").c_str(), shortLater, MAX_PATH);
  EXPECT_EQ(names.longForm(shortLater), folder + L"\\Written Later.txt");
}

TEST(InstallLog, AFreshInstallListsTheExtractedFilesInArchiveOrder) {
  TempFolder temp;
  test::ZipBuilder(temp / L"payload.zip")
      .add("Tonvane.exe", "exe")
      .add("resource/a.png", "png")
      .add("readme.txt", "txt");
  std::vector<std::wstring> extracted;
  ASSERT_TRUE(extractArchive(temp / L"payload.zip", temp / L"app", extracted));

  PathList list;
  EXPECT_FALSE(loadInstallLog(temp / L"app\\install.log", list));
  for (const std::wstring& path : extracted) EXPECT_TRUE(addExistingPath(list, path));
  ASSERT_TRUE(saveInstallLog(list, temp / L"app\\install.log"));

  const std::string dest = ansi(temp / L"app\\");
  EXPECT_EQ(test::readBytes(temp / L"app\\install.log"), "[Install]\r\nPath1=" + dest + "Tonvane.exe\r\nPath2=" + dest +
                                                             "resource\\a.png\r\nPath3=" + dest + "readme.txt");
  // Nothing but the log and the payload's files was left in the folder.
  EXPECT_EQ(test::listFolder(temp / L"app"), (Paths{L"Tonvane.exe", L"install.log", L"readme.txt", L"resource"}));

  PathList empty;
  ASSERT_TRUE(saveInstallLog(empty, temp / L"app\\install.log"));
  EXPECT_EQ(test::readBytes(temp / L"app\\install.log"), "[Install]");
}

TEST(InstallLog, AnInstallOverAnOldOneKeepsItsExistingFilesFirst) {
  TempFolder temp;
  const std::wstring app = temp / L"app\\";
  CreateDirectoryW(app.c_str(), nullptr);
  touch(app + L"kept.txt");
  touch(app + L"Old.dll");
  test::writeBytes(app + L"install.log", "[Install]\r\nPath1=" + ansi(app) + "kept.txt\r\nPath2=" + ansi(app) +
                                             "deleted.txt\r\nPath3=" + ansi(app) + "Old.dll");

  PathList list;
  ASSERT_TRUE(loadInstallLog(app + L"install.log", list));
  EXPECT_EQ(list.paths(), (Paths{app + L"kept.txt", app + L"Old.dll"}));

  // The new payload holds kept.txt again (other spelling) and a new file.
  touch(app + L"new.txt");
  EXPECT_FALSE(addExistingPath(list, app + L"KEPT.TXT"));
  EXPECT_TRUE(addExistingPath(list, app + L"new.txt"));
  ASSERT_TRUE(saveInstallLog(list, app + L"install.log"));
  EXPECT_EQ(test::readBytes(app + L"install.log"), "[Install]\r\nPath1=" + ansi(app) + "kept.txt\r\nPath2=" +
                                                       ansi(app) + "Old.dll\r\nPath3=" + ansi(app) + "new.txt");
}

TEST(InstallLog, ReadsEveryValueInTheTablesOrderWhateverTheKeys) {
  TempFolder temp;
  const std::wstring app = temp.path();
  std::string log = "[Install]";
  for (int i = 1; i <= 8; ++i) {
    touch(app + L"f" + std::to_wstring(i));
    log += "\r\nPath" + std::to_string(i) + "=" + ansi(app) + "f" + std::to_string(i);
  }
  log += "\r\nPathA=" + ansi(app) + "a\r\nPath20=" + ansi(app) + "missing\r\nPath21=";
  touch(app + L"a");
  test::writeBytes(app + L"install.log", log);

  PathList list;
  ASSERT_TRUE(loadInstallLog(app + L"install.log", list));
  // Worked out by hand: hash("Path") = 2984525, so "PathN" lands in bucket
  // (2984525 * 33 + '0' + N) mod 17 = (9 + N) mod 17: Path8 in bucket 0 comes
  // first, Path1 to Path7 in buckets 10 to 16 follow. "PathA" (+65) lands in
  // bucket 7, before them all but Path8.
  EXPECT_EQ(list.paths(), (Paths{app + L"f8", app + L"a", app + L"f1", app + L"f2", app + L"f3", app + L"f4",
                                 app + L"f5", app + L"f6", app + L"f7"}));
}

TEST(InstallLog, KeepsOneSpellingOfTheSameFolder) {
  TempFolder temp;
  const std::wstring folder = temp / L"Tonvane Free Folder";
  CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t shortForm[MAX_PATH] = {};
  GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH);
  std::wstring upper = folder;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  test::writeBytes(temp / L"install.log", "[Install]\r\nPath1=" + ansi(folder) + "\\\r\nPath2=" + ansi(upper) +
                                              "\r\nPath3=" + ansi(shortForm));
  PathList list;
  ASSERT_TRUE(loadInstallLog(temp / L"install.log", list));
  EXPECT_EQ(list.paths(), Paths{folder + L"\\"});
}

TEST(InstallLog, LogsThatCannotBeUsedLeaveTheListAlone) {
  TempFolder temp;
  touch(temp / L"kept");
  PathList list;
  list.addExistingPath(temp / L"kept");
  const Paths before = list.paths();

  EXPECT_FALSE(loadInstallLog(temp / L"missing.log", list));
  test::writeBytes(temp / L"empty.log", "");
  EXPECT_FALSE(loadInstallLog(temp / L"empty.log", list));
  test::writeBytes(temp / L"other.log", "[install]\r\nPath1=" + ansi(temp / L"kept"));
  EXPECT_FALSE(loadInstallLog(temp / L"other.log", list));
  EXPECT_FALSE(loadInstallLog(L"", list));
  EXPECT_EQ(list.paths(), before);

  // A log with the section but nothing usable empties the list.
  test::writeBytes(temp / L"bare.log", "[Install]\r\nPath1=\r\nPath2=" + ansi(temp / L"gone"));
  EXPECT_TRUE(loadInstallLog(temp / L"bare.log", list));
  EXPECT_EQ(list.size(), 0u);
}

TEST(InstallLog, WritesTheDefaultCharacterForWhatTheCodePageLacks) {
  TempFolder temp;
  // Hangul is outside code page 932, kanji outside 1252.
  const std::wstring name = GetACP() == 932 ? L"\uac00.txt" : L"\u65e5.txt";
  touch(temp / name);
  PathList list;
  ASSERT_TRUE(addExistingPath(list, temp / name));
  ASSERT_TRUE(saveInstallLog(list, temp / L"install.log"));
  EXPECT_EQ(test::readBytes(temp / L"install.log"), "[Install]\r\nPath1=" + ansi(temp.path()) + "?.txt");
}

// Letters a code page lacks never become look-alikes: an L with stroke is
// the default character, not a plain L naming another, existing path.
TEST(InstallLog, NoLetterTurnsIntoALookAlike) {
  TempFolder temp;
  const std::wstring name = L"\u0141ukasz.txt";
  touch(temp / name);
  touch(temp / L"Lukasz.txt");
  PathList list;
  ASSERT_TRUE(addExistingPath(list, temp / name));
  ASSERT_TRUE(saveInstallLog(list, temp / L"install.log"));
  EXPECT_EQ(test::readBytes(temp / L"install.log"), "[Install]\r\nPath1=" + ansi(temp.path()) + "?ukasz.txt");
}

// A log found in the install folder keeps only what lies in that folder:
// one planted before the install cannot lead the uninstaller elsewhere, nor
// the setup to a network path.
TEST(InstallLog, KeepsOnlyPlainPathsInsideTheLogsOwnFolder) {
  TempFolder temp;
  const std::wstring app = temp / L"app\\";
  CreateDirectoryW(app.c_str(), nullptr);
  CreateDirectoryW((temp / L"app2").c_str(), nullptr);
  touch(app + L"inside.dll");
  touch(temp / L"outside.dll");
  touch(temp / L"app2\\sibling.dll");
  CreateDirectoryW((app + L"sub").c_str(), nullptr);
  touch(app + L"sub\\deep.dll");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string lines[] = {
      ansi(app) + "inside.dll",
      ansi(temp / L"outside.dll"),
      ansi(temp / L"app2\\sibling.dll"),
      ansi(app) + "..\\outside.dll",
      ansi(app) + "sub/../../outside.dll",
      ansi(std::wstring(windows)) + "\\win.ini",
      "\\\\tonvane-nowhere\\share\\x.dll",
      "\\\\?\\" + ansi(app) + "inside.dll",
      "inside.dll",
      ansi(app) + "sub\\deep.dll",
  };
  std::string log = "[Install]";
  for (std::size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i)
    log += "\r\nPath" + std::to_string(i + 1) + "=" + lines[i];
  test::writeBytes(app + L"install.log", log);

  PathList list;
  ASSERT_TRUE(loadInstallLog(app + L"install.log", list));
  std::vector<std::wstring> paths = list.paths();
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (Paths{app + L"inside.dll", app + L"sub\\deep.dll"}));
}

TEST(InstallLog, AReadOnlyLogKeepsItsContent) {
  TempFolder temp;
  touch(temp / L"file");
  test::writeBytes(temp / L"install.log", "[Install]\r\nPath1=old");
  SetFileAttributesW((temp / L"install.log").c_str(), FILE_ATTRIBUTE_READONLY);
  PathList list;
  list.addExistingPath(temp / L"file");
  EXPECT_FALSE(saveInstallLog(list, temp / L"install.log"));
  EXPECT_EQ(test::readBytes(temp / L"install.log"), "[Install]\r\nPath1=old");
  EXPECT_EQ(test::listFolder(temp.path()), (Paths{L"file", L"install.log"}));
}

TEST(InstallLog, AWriteThatFailsPartWayLeavesTheOldLogWhole) {
  // A small disk of its own, mounted by the test harness where it may.
  const std::string small = test::environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring disk = test::winePathOfUnixPath(small) + L"\\";
  const std::wstring folder = disk + L"app\\";
  test::removeTree(folder);
  test::removeTree(disk + L"filler");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  touch(folder + L"Tonvane.exe");
  const std::string old = "[Install]\r\nPath1=" + ansi(folder) + "Tonvane.exe";
  test::writeBytes(folder + L"install.log", old);

  // Leave a few kilobytes free, far less than the new log needs.
  ASSERT_TRUE(test::fillDiskLeaving(disk + L"filler", 8192));

  PathList list;
  ASSERT_TRUE(loadInstallLog(folder + L"install.log", list));
  // Enough existing entries for a log far larger than the space left;
  // folders take no data blocks.
  for (int i = 0; i < 300; ++i) {
    const std::wstring sub = folder + L"a-rather-long-folder-name-to-make-the-log-large-" + std::to_wstring(i);
    CreateDirectoryW(sub.c_str(), nullptr);
    list.addExistingPath(sub);
  }
  ASSERT_GT(list.size(), 200u);
  EXPECT_FALSE(saveInstallLog(list, folder + L"install.log"));
  EXPECT_EQ(test::readBytes(folder + L"install.log"), old);

  Paths left;
  for (const std::wstring& name : test::listFolder(folder))
    if (name.rfind(L"a-rather", 0) != 0) left.push_back(name);
  EXPECT_EQ(left, (Paths{L"Tonvane.exe", L"install.log"}));
  test::removeTree(folder);
  DeleteFileW((disk + L"filler").c_str());
}

}  // namespace
