// What the setup log says of an extraction: every entry left out, with the
// reason, and nothing of the entries that arrived.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Extraction.h"
#include "SetupLog.h"
#include "TestFiles.h"
#include "ZipBuilder.h"

using namespace tonvane;
using tonvane::test::TempFolder;
using tonvane::test::ZipBuilder;

namespace {

TEST(ExtractionLog, NamesEachSkippedEntryWithItsReason) {
  TempFolder temp;
  const std::string kept = test::numberedLines(2000, "kept");
  ZipBuilder(temp / L"a.zip")
      .add("good.txt", "fine")
      .add("../outside.txt", "escape")
      .add("sub/NUL.txt", "device")
      .add("damaged.txt", kept, test::Method::Stored)
      .add("last.txt", "fine");
  // One flipped byte in the stored entry: only its CRC tells.
  const long long offset = test::entryDataOffset(temp / L"a.zip", "damaged.txt");
  ASSERT_GT(offset, 0);
  std::string bytes = test::readBytes(temp / L"a.zip");
  bytes[static_cast<std::size_t>(offset) + 100] ^= 0x01;
  test::writeBytes(temp / L"a.zip", bytes);

  const std::wstring log = temp / L"setup.log";
  ASSERT_TRUE(openSetupLog(log));
  std::vector<std::wstring> written;
  EXPECT_FALSE(extractArchive(temp / L"a.zip", temp / L"dest", written));
  closeSetupLog();
  EXPECT_EQ(written.size(), 2u);

  const std::string text = test::readBytes(log);
  for (const std::string& expected :
       {std::string("Skipped entry \"../outside.txt\": its name leaves the folder"),
        std::string("Skipped entry \"sub/NUL.txt\": its name leaves the folder, is too long or names no file"),
        "Skipped " + test::utf8Of(temp / L"dest\\damaged.txt") + ": CRC mismatch\r\n"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
  EXPECT_EQ(text.find("good.txt"), std::string::npos) << text;
  EXPECT_EQ(text.find("last.txt"), std::string::npos) << text;
}

}  // namespace
