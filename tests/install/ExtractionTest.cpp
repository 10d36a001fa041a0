#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "Extraction.h"
#include "SetupLog.h"
#include "TestFiles.h"
#include "ZipBuilder.h"

using namespace tonvane;
using tonvane::test::Method;
using tonvane::test::TempFolder;
using tonvane::test::ZipBuilder;

namespace {

using List = std::vector<std::wstring>;

const std::string kText = test::numberedLines(3000);

TEST(ExtractArchive, WritesStoredDeflatedAndEmptyEntriesInArchiveOrder) {
  TempFolder temp;
  const std::string binary = [] {
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
  }();
  ZipBuilder(temp / L"a.zip")
      .add("Tonvane.exe", binary, Method::Stored)
      .add("readme.txt", kText, Method::Deflated)
      .add("silence.wav", "", Method::Stored)
      .add("resource/pictures/logo.png", binary, Method::Deflated)
      .add("resource/pictures/icon.png", "icon", Method::Stored);

  List written = {L"kept"};
  ASSERT_TRUE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  const std::wstring dest = temp / L"dest\\";
  EXPECT_EQ(written, (List{L"kept", dest + L"Tonvane.exe", dest + L"readme.txt", dest + L"silence.wav",
                           dest + L"resource\\pictures\\logo.png", dest + L"resource\\pictures\\icon.png"}));
  EXPECT_EQ(test::readBytes(dest + L"Tonvane.exe"), binary);
  EXPECT_EQ(test::readBytes(dest + L"readme.txt"), kText);
  EXPECT_TRUE(test::fileExists(dest + L"silence.wav"));
  EXPECT_EQ(test::readBytes(dest + L"silence.wav"), "");
  EXPECT_EQ(test::readBytes(dest + L"resource\\pictures\\logo.png"), binary);
  EXPECT_EQ(test::readBytes(dest + L"resource\\pictures\\icon.png"), "icon");
}

TEST(ExtractArchive, FolderEntriesMakeFoldersButAreNotListed) {
  TempFolder temp;
  ZipBuilder(temp / L"a.zip")
      .add("docs/", "", Method::Stored)
      .add("empty/inner/", "", Method::Stored)
      .add("docs/a.txt", "a");
  List written;
  ASSERT_TRUE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  EXPECT_TRUE(test::folderExists(temp / L"dest\\empty\\inner"));
  EXPECT_EQ(written, List{temp / L"dest\\docs\\a.txt"});
}

TEST(ExtractArchive, TheDestinationMayEndWithABackslashOrNot) {
  TempFolder temp;
  ZipBuilder(temp / L"a.zip").add("x.txt", "x").add("sub/y.txt", "y");
  List without, with;
  ASSERT_TRUE(extractArchive(temp / L"a.zip", temp / L"one", without));
  ASSERT_TRUE(extractArchive(temp / L"a.zip", temp / L"two\\", with));
  EXPECT_EQ(without, (List{temp / L"one\\x.txt", temp / L"one\\sub\\y.txt"}));
  EXPECT_EQ(with, (List{temp / L"two\\x.txt", temp / L"two\\sub\\y.txt"}));
}

// Extraction never replaces a file: a taken name fails its entry and keeps
// the file. Staged, every entry goes beside its name, where a file a killed
// run left is written over, and the files at the names stay as they were.
TEST(ExtractArchive, NeverReplacesAFileAndStagesBesideIt) {
  TempFolder temp;
  ZipBuilder(temp / L"a.zip").add("x.txt", "short").add("sub/y.txt", "y");
  const std::string archive = test::readBytes(temp / L"a.zip");
  ASSERT_TRUE(CreateDirectoryW((temp / L"dest").c_str(), nullptr));
  test::writeBytes(temp / L"dest\\x.txt", std::string(10000, 'o'));
  List written;
  EXPECT_FALSE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  EXPECT_EQ(test::readBytes(temp / L"dest\\x.txt"), std::string(10000, 'o'));
  EXPECT_EQ(written, List{temp / L"dest\\sub\\y.txt"});

  test::writeBytes(temp / L"dest\\x.txt.new", "left by a killed run");
  List asked;
  const auto besideItself = [](const std::wstring& relative) {
    return relative.back() == L'\\' ? relative : relative + L".new";
  };
  const StagedWrite staged{besideItself, nullptr, [&asked](const std::wstring& relative) {
                             asked.push_back(relative);
                             return true;
                           }};
  List stagedWritten;
  ASSERT_TRUE(extractArchiveFromMemory(archive.data(), archive.size(), temp / L"dest", stagedWritten, &staged));
  EXPECT_EQ(asked, (List{L"x.txt", L"sub\\y.txt"}));
  EXPECT_EQ(stagedWritten, (List{temp / L"dest\\x.txt", temp / L"dest\\sub\\y.txt"}));
  EXPECT_EQ(test::readBytes(temp / L"dest\\x.txt.new"), "short");
  EXPECT_EQ(test::readBytes(temp / L"dest\\x.txt"), std::string(10000, 'o'));
  EXPECT_EQ(test::readBytes(temp / L"dest\\sub\\y.txt.new"), "y");

  // Refused by its gate, the extraction ends there.
  const StagedWrite refused{besideItself, nullptr, [](const std::wstring&) { return false; }};
  List none;
  EXPECT_FALSE(extractArchiveFromMemory(archive.data(), archive.size(), temp / L"dest", none, &refused));
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(test::readBytes(temp / L"dest\\x.txt.new"), "short");
}

TEST(ExtractArchive, EmptyMissingAndForeignArchives) {
  TempFolder temp;
  List written = {L"kept"};

  // An archive without entries opens when something precedes its directory
  // (a self-extracting stub, say), and there is nothing to write.
  test::writeBytes(temp / L"empty.zip", "stub");
  ZipBuilder(temp / L"empty.zip", /*appendToFile=*/true).close();
  EXPECT_TRUE(extractArchive(temp / L"empty.zip", temp / L"dest", written));
  EXPECT_EQ(written, List{L"kept"});

  // minizip cannot open the bare 22-byte form: its directory search takes a
  // record found at offset 0 for "not found". Nothing is written either way.
  ZipBuilder(temp / L"bare.zip").close();
  ASSERT_EQ(test::readBytes(temp / L"bare.zip").size(), 22u);
  EXPECT_FALSE(extractArchive(temp / L"bare.zip", temp / L"dest2", written));

  EXPECT_FALSE(extractArchive(temp / L"missing.zip", temp / L"dest2", written));
  test::writeBytes(temp / L"not.zip", "this is not an archive at all");
  EXPECT_FALSE(extractArchive(temp / L"not.zip", temp / L"dest2", written));
  EXPECT_EQ(written, List{L"kept"});
  EXPECT_FALSE(test::folderExists(temp / L"dest2"));
}

// A damaged entry is never half written: the file of its name keeps what it
// held, the entry is not listed, and the result tells the caller.
TEST(ExtractArchive, DamagedDataFailsThatEntryOnlyAndKeepsTheOldFile) {
  TempFolder temp;
  const std::string second = test::numberedLines(20000, "second");
  ZipBuilder(temp / L"a.zip").add("1.txt", kText).add("2.txt", second).add("3.txt", kText);
  CreateDirectoryW((temp / L"dest").c_str(), nullptr);
  test::writeBytes(temp / L"dest\\2.txt", "the earlier release");

  const long long offset = test::entryDataOffset(temp / L"a.zip", "2.txt");
  ASSERT_GT(offset, 0);
  std::string bytes = test::readBytes(temp / L"a.zip");
  // Garble the middle of the second entry's compressed data.
  const std::size_t third = bytes.find("3.txt");
  ASSERT_NE(third, std::string::npos);
  const std::size_t middle = static_cast<std::size_t>(offset) + (third - offset) / 2;
  for (std::size_t i = middle; i < middle + 64; ++i) bytes[i] = static_cast<char>(0xFF);
  test::writeBytes(temp / L"a.zip", bytes);

  List written;
  EXPECT_FALSE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  EXPECT_EQ(written, (List{temp / L"dest\\1.txt", temp / L"dest\\3.txt"}));
  EXPECT_EQ(test::readBytes(temp / L"dest\\1.txt"), kText);
  EXPECT_EQ(test::readBytes(temp / L"dest\\3.txt"), kText);
  EXPECT_EQ(test::readBytes(temp / L"dest\\2.txt"), "the earlier release");
  EXPECT_EQ(test::listFolder(temp / L"dest"), (List{L"1.txt", L"2.txt", L"3.txt"}));
}

// One flipped byte in a stored entry's data passes every read; only its CRC
// tells. A directory record that declares less than the data holds cuts the
// entry, which then fails the same way.
TEST(ExtractArchive, AFlippedByteOrAnUnderstatedSizeFailsTheEntry) {
  TempFolder temp;
  ZipBuilder(temp / L"a.zip").add("1.txt", "first").add("2.txt", kText, Method::Stored).add("3.txt", "third");
  std::string bytes = test::readBytes(temp / L"a.zip");
  const long long offset = test::entryDataOffset(temp / L"a.zip", "2.txt");
  ASSERT_GT(offset, 0);
  bytes[static_cast<std::size_t>(offset) + 100] ^= 0x01;
  test::writeBytes(temp / L"flipped.zip", bytes);
  List written;
  EXPECT_FALSE(extractArchive(temp / L"flipped.zip", temp / L"flipped", written));
  EXPECT_EQ(written, (List{temp / L"flipped\\1.txt", temp / L"flipped\\3.txt"}));
  EXPECT_FALSE(test::fileExists(temp / L"flipped\\2.txt"));

  // The central record's uncompressed size (offset 24 in the record).
  bytes = test::readBytes(temp / L"a.zip");
  const long long record = test::centralRecordOffset(bytes, 1);
  ASSERT_GT(record, 0);
  const std::size_t field = static_cast<std::size_t>(record) + 24;
  bytes[field] = 16;
  bytes[field + 1] = bytes[field + 2] = bytes[field + 3] = 0;
  test::writeBytes(temp / L"short.zip", bytes);
  written.clear();
  EXPECT_FALSE(extractArchive(temp / L"short.zip", temp / L"short", written));
  EXPECT_EQ(written, (List{temp / L"short\\1.txt", temp / L"short\\3.txt"}));
  EXPECT_FALSE(test::fileExists(temp / L"short\\2.txt"));
}

// A disk that fills up in the middle of an entry: the entry fails, the file
// it would have replaced stays whole, nothing half-written is left, whether
// the entry replaces a file or has a name of its own.
TEST(ExtractArchive, AFullDiskKeepsTheOldFileWhole) {
  const std::string small = test::environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring disk = test::winePathOfUnixPath(small) + L"\\";
  const std::wstring folder = disk + L"full-disk\\";
  test::removeTree(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test::writeBytes(folder + L"big.bin", "the old file");
  // What is left of the 256 KiB disk holds the start of the entry, not all.
  std::string filler(150 * 1024, 'f');
  test::writeBytes(folder + L"filler", filler);
  std::string noise(160 * 1024, '\0');
  unsigned value = 12345;
  for (char& c : noise) c = static_cast<char>((value = value * 1103515245u + 12345u) >> 24);
  TempFolder temp;
  ZipBuilder(temp / L"a.zip")
      .add("small.txt", "fits")
      .add("big.bin", noise, Method::Stored)
      .add("new.bin", noise, Method::Stored);

  List written;
  EXPECT_FALSE(extractArchive(temp / L"a.zip", folder, written));
  EXPECT_EQ(written, List{folder + L"small.txt"});
  EXPECT_EQ(test::readBytes(folder + L"big.bin"), "the old file");
  EXPECT_EQ(test::listFolder(folder), (List{L"big.bin", L"filler", L"small.txt"}));
  test::removeTree(folder);
}

// A temporary folder whose name the ANSI code page cannot hold (a user
// named with an L with stroke on a Western system): the archive opens by its
// wide path and extracts.
TEST(ExtractArchive, OpensAnArchiveWhosePathTheCodePageCannotHold) {
  TempFolder temp;
  const std::wstring folder = temp / L"\u0141ukasz \u0436\u3042\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  // The test's own archive writer takes ANSI names: built elsewhere, moved.
  ZipBuilder(temp / L"a.zip").add("sub/one.txt", "one");
  ASSERT_TRUE(MoveFileW((temp / L"a.zip").c_str(), (folder + L"a.zip").c_str()));
  List written;
  ASSERT_TRUE(extractArchive(folder + L"a.zip", folder + L"dest", written));
  EXPECT_EQ(written, List{folder + L"dest\\sub\\one.txt"});
  EXPECT_EQ(test::readBytes(folder + L"dest\\sub\\one.txt"), "one");
}

TEST(ExtractArchive, ADamagedCentralDirectoryEndsTheWalk) {
  TempFolder temp;
  ZipBuilder(temp / L"a.zip").add("1.txt", "one").add("2.txt", "two").add("3.txt", "three");
  std::string bytes = test::readBytes(temp / L"a.zip");
  const long long record = test::centralRecordOffset(bytes, 1);
  ASSERT_GT(record, 0);
  bytes[static_cast<std::size_t>(record) + 2] = 'X';
  test::writeBytes(temp / L"a.zip", bytes);

  List written;
  EXPECT_TRUE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  EXPECT_EQ(written, List{temp / L"dest\\1.txt"});
  EXPECT_EQ(test::readBytes(temp / L"dest\\1.txt"), "one");
  EXPECT_FALSE(test::fileExists(temp / L"dest\\3.txt"));
}

TEST(ExtractArchive, SkipsNamesThatWouldLandOutsideTheDestination) {
  TempFolder temp;
  const std::string longName = std::string(300, 'n');
  ZipBuilder(temp / L"a.zip")
      .add("..\\x", "escape")
      .add("../y", "escape")
      .add("a/../../x", "escape")
      .add("C:x", "drive")
      .add("ok.txt:stream", "stream")
      .add("\\x", "rooted")
      .add("/z", "rooted")
      .add(longName, "long")
      .add("CON", "device")
      .add("sub/nul.txt", "device")
      .add("aux.h", "device")
      .add("Com1.log", "device")
      .add("lpt9 .x/y", "device")
      .add("a<b", "forbidden")
      .add("q?.txt", "forbidden")
      .add("star*", "forbidden")
      .add("ok.txt", "fine")
      .add("sub/ok.txt", "fine too")
      .add("console.txt", "not a device");

  CreateDirectoryW((temp / L"box").c_str(), nullptr);
  List written;
  ASSERT_TRUE(extractArchive(temp / L"a.zip", temp / L"box\\dest", written));

  const std::wstring dest = temp / L"box\\dest\\";
  EXPECT_EQ(written, (List{dest + L"ok.txt", dest + L"sub\\ok.txt", dest + L"console.txt"}));
  for (const std::wstring& path : written) EXPECT_EQ(path.rfind(dest, 0), 0u) << path.c_str();
  EXPECT_EQ(test::readBytes(dest + L"ok.txt"), "fine");

  // Nothing beside or above the destination, and no stream on ok.txt.
  EXPECT_EQ(test::listFolder(temp / L"box"), List{L"dest"});
  EXPECT_EQ(test::listFolder(temp.path()), (List{L"a.zip", L"box"}));
  EXPECT_FALSE(test::fileExists(L"C:\\x"));
  EXPECT_FALSE(test::fileExists(L"C:\\z"));
  EXPECT_FALSE(test::fileExists(dest + L"x"));
  EXPECT_EQ(test::readBytes(dest + L"ok.txt:stream"), "");
  const List inDest = test::listFolder(dest);
  EXPECT_EQ(std::count_if(inDest.begin(), inDest.end(), [](const std::wstring& name) { return name.size() > 260; }), 0);
}

// The elevated setup extracts into folders a normal program of the same
// user may add to. A junction or link it puts inside (at a folder on an
// entry's way, at a folder entry, at a file's name) or at the destination
// itself never leads a write elsewhere: the entry is refused, named in the
// setup log, and the extraction fails; the other entries arrive.
TEST(ExtractArchive, NeverWritesThroughAJunctionOrLinkAtTheDestination) {
  struct Case {
    const wchar_t* link;  // below the destination; "" for the destination
    List arrived;         // below the destination
    List refused;         // named in the setup log
  };
  const List all = {L"first.txt", L"resource\\pictures\\logo.png", L"TonvaneUninstaller.exe", L"last.txt"};
  const Case cases[] = {
      {L"resource", {L"first.txt", L"TonvaneUninstaller.exe", L"last.txt"}, {L"resource\\pictures\\logo.png"}},
      {L"docs", all, {L"docs\\"}},
      {L"TonvaneUninstaller.exe",
       {L"first.txt", L"resource\\pictures\\logo.png", L"last.txt"},
       {L"TonvaneUninstaller.exe"}},
      // Last: the destination stays a link, which the temporary folder's
      // removal takes away without following it.
      {L"", {}, all},
  };
  TempFolder temp;
  ZipBuilder(temp / L"a.zip")
      .add("first.txt", "first")
      .add("resource/pictures/logo.png", "planted")
      .add("docs/", "", Method::Stored)
      .add("TonvaneUninstaller.exe", "planted")
      .add("last.txt", "last");
  const std::wstring outside = temp / L"outside\\";
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  test::writeBytes(outside + L"TonvaneUninstaller.exe", "the system's own");

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.link)));
    const std::wstring dest = temp / L"dest\\";
    test::removeTree(dest);
    if (*c.link != L'\0') {
      ASSERT_TRUE(CreateDirectoryW(dest.c_str(), nullptr));
    }
    if (!test::makeFolderLink(dest + c.link, outside)) GTEST_SKIP() << "no folder link can be made here";

    ASSERT_TRUE(openSetupLog(temp / L"setup.log"));
    List written;
    EXPECT_FALSE(extractArchive(temp / L"a.zip", dest, written));
    closeSetupLog();
    List expected;
    for (const std::wstring& name : c.arrived) expected.push_back(dest + name);
    EXPECT_EQ(written, expected);
    for (const std::wstring& path : written) EXPECT_FALSE(test::readBytes(path).empty()) << path.c_str();
    const std::string log = test::readBytes(temp / L"setup.log");
    for (const std::wstring& name : c.refused) {
      const std::wstring path = dest + name;
      EXPECT_NE(log.find("Skipped " + std::string(path.begin(), path.end()) + ": "), std::string::npos)
          << std::string(path.begin(), path.end()) << " in\n"
          << log;
    }
    EXPECT_EQ(test::listFolder(outside), List{L"TonvaneUninstaller.exe"});
    EXPECT_EQ(test::readBytes(outside + L"TonvaneUninstaller.exe"), "the system's own");
  }
}

TEST(ExtractArchive, AnArchiveWrittenByDebiansZipExtractsByteForByte) {
  const std::wstring sample = test::winePathOfUnixPath(TONVANE_SAMPLE_DIR);
  TempFolder temp;
  List written;
  ASSERT_TRUE(extractArchive(sample + L"\\sample.zip", temp / L"dest", written));

  const List expected = {
      L"inner.zip",  L"numbers.txt", L"readme.txt", L"resource\\noise.bin", L"resource\\pictures\\spaced.txt",
      L"silence.wav"};
  List relative;
  for (const std::wstring& path : written) relative.push_back(path.substr((temp / L"dest\\").size()));
  std::sort(relative.begin(), relative.end());
  EXPECT_EQ(relative, expected);
  for (const std::wstring& name : expected) {
    const std::string original = test::readBytes(sample + L"\\tree\\" + name);
    EXPECT_EQ(test::readBytes(temp / (L"dest\\" + name)), original) << name.c_str();
  }
  EXPECT_FALSE(test::readBytes(sample + L"\\tree\\numbers.txt").empty());
}

}  // namespace
