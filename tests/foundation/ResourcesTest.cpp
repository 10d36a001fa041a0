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

TEST(Resources, WritesAResourceToANewFileOnly) {
  TempFolder folder;
  const std::wstring path = folder / L"payload.zip";
  // A name that is taken is never written over.
  test::writeBytes(path, std::string(300000, 'x'));
  EXPECT_FALSE(writeResourceToFile(loadResource(L"ZIP", 102), path));
  EXPECT_EQ(test::readBytes(path), std::string(300000, 'x'));
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  ASSERT_TRUE(writeResourceToFile(loadResource(L"ZIP", 102), path));
  EXPECT_EQ(test::readBytes(path), test::readBytes(kSampleDir + L"\\sample.zip"));

  // The written archive is the application's payload path: it extracts.
  std::vector<std::wstring> written;
  ASSERT_TRUE(extractArchive(path, folder / L"out", written));
  EXPECT_EQ(test::readBytes(folder / L"out\\numbers.txt"), test::readBytes(kSampleDir + L"\\tree\\numbers.txt"));
}

TEST(Resources, AMissingResourceIsZeroBytesAndAnEmptyFile) {
  const ResourceBytes missing = loadResource(L"ZIP", 4242);
  EXPECT_EQ(missing.size, 0u);
  EXPECT_EQ(missing.data, nullptr);

  TempFolder folder;
  EXPECT_TRUE(writeResourceToFile(missing, folder / L"empty.bin"));
  EXPECT_TRUE(test::fileExists(folder / L"empty.bin"));
  EXPECT_EQ(test::readBytes(folder / L"empty.bin"), "");

  // Only a file that cannot be created is a failure.
  EXPECT_FALSE(writeResourceToFile(missing, folder / L"no\\such\\folder\\x.bin"));
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
