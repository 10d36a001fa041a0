#include <windows.h>

#include <gtest/gtest.h>

#include "Extraction.h"
#include "Resources.h"
#include "TestFiles.h"
#include "VersionInfo.h"

using namespace tonvane;
using tonvane::test::TempFolder;

namespace {

const std::wstring kSampleDir = test::winePathOfUnixPath(TONVANE_SAMPLE_DIR);
const std::wstring kSourceDir = test::winePathOfUnixPath(TONVANE_TEST_SOURCE_DIR);

TEST(Resources, LoadsTheBytesOfAnEmbeddedResource) {
  const ResourceBytes text = loadResource(L"TEXT", 101);
  ASSERT_NE(text.data, nullptr);
  const std::string expected = test::readBytes(kSourceDir + L"\\data\\sample.txt");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data), text.size), expected);

  // The same id under another type is another resource.
  EXPECT_EQ(loadResource(L"ZIP", 101).size, 0u);
}

TEST(Resources, WritesAResourceToAFileAndReplacesWhatWasThere) {
  TempFolder folder;
  const std::wstring path = folder / L"payload.zip";
  test::writeBytes(path, std::string(300000, 'x'));
  ASSERT_TRUE(writeResourceToFile(loadResource(L"ZIP", 102), path));
  EXPECT_EQ(test::readBytes(path), test::readBytes(kSampleDir + L"\\sample.zip"));

  // The written archive is the application's payload path: it extracts.
  std::vector<std::wstring> written;
  ASSERT_TRUE(extractArchive(path, folder / L"out", written));
  EXPECT_EQ(test::readBytes(folder / L"out\\numbers.txt"),
            test::readBytes(kSampleDir + L"\\tree\\numbers.txt"));
}

TEST(Resources, AMissingResourceIsZeroBytesAndAnEmptyFile) {
  const ResourceBytes missing = loadResource(L"ZIP", 4242);
  EXPECT_EQ(missing.size, 0u);
  EXPECT_EQ(missing.data, nullptr);

  TempFolder folder;
  test::writeBytes(folder / L"stale.bin", "stale");
  EXPECT_TRUE(writeResourceToFile(missing, folder / L"stale.bin"));
  EXPECT_TRUE(test::fileExists(folder / L"stale.bin"));
  EXPECT_EQ(test::readBytes(folder / L"stale.bin"), "");

  // Only a file that cannot be created is a failure.
  EXPECT_FALSE(writeResourceToFile(missing, folder / L"no\\such\\folder\\x.bin"));
}

// The uninstaller and the settings file are written this way: a disk that
// fills up part-way is a failure, and the file that was there stays whole,
// with no part-written file beside it.
TEST(Resources, AWriteThatRunsOutOfDiskFailsAndKeepsTheOldFile) {
  const std::string small = test::environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring folder = test::winePathOfUnixPath(small) + L"\\resource-write\\";
  test::removeTree(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test::writeBytes(folder + L"TonvaneUninstaller.exe", "the earlier uninstaller");
  const std::string bytes(96 * 1024, 'u');
  ULARGE_INTEGER free = {};
  ASSERT_TRUE(GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, 40u * 1024);
  test::writeBytes(folder + L"filler", std::string(static_cast<std::size_t>(free.QuadPart) - 32 * 1024, 'f'));

  EXPECT_FALSE(writeFileReplacing(folder + L"TonvaneUninstaller.exe", bytes.data(), bytes.size()));
  EXPECT_EQ(test::readBytes(folder + L"TonvaneUninstaller.exe"), "the earlier uninstaller");
  EXPECT_EQ(test::listFolder(folder), (std::vector<std::wstring>{L"TonvaneUninstaller.exe", L"filler"}));

  // With room again, the same write goes through whole.
  DeleteFileW((folder + L"filler").c_str());
  EXPECT_TRUE(writeFileReplacing(folder + L"TonvaneUninstaller.exe", bytes.data(), bytes.size()));
  EXPECT_EQ(test::readBytes(folder + L"TonvaneUninstaller.exe"), bytes);
  test::removeTree(folder);
}

TEST(VersionInfo, ReadsTheProductVersionOfTheRunningProgram) {
  VersionInfo& info = VersionInfo::shared();
  EXPECT_EQ(&info, &VersionInfo::shared());
  ASSERT_TRUE(info.load(L""));
  info.translationKey = L"000004b0";
  EXPECT_EQ(info.productVersion(), L"9.8.7.6-test");
  info.translationKey = L"040904b0";
  EXPECT_EQ(info.productVersion(), L"");
}

TEST(VersionInfo, AFileWithoutVersionResourceLoadsNothing) {
  VersionInfo info;
  EXPECT_FALSE(info.load(kSourceDir + L"\\data\\sample.txt"));
  EXPECT_TRUE(info.block.empty());
  info.translationKey = L"000004b0";
  EXPECT_EQ(info.productVersion(), L"");
  EXPECT_FALSE(info.load(L"C:\\no\\such\\file.exe"));
}

}  // namespace
