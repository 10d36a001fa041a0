// The private staging folder: always a new folder of eight digits directly
// under the user's temporary folder, never one that was there before.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>

#include "OfferTestSupport.h"
#include "StagingFolder.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

bool isEightDigits(const std::wstring& name) {
  return name.size() == 8 &&
         std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

TEST(StagingFolder, EveryCallMakesANewEightDigitFolderThatDidNotExistBefore) {
  test::TempFolder temp;
  test::ScopedTempPath redirect(temp.path());
  // Decoys of the same form already in place.
  for (int i = 0; i < 50; ++i) {
    wchar_t name[16];
    swprintf(name, 16, L"%08d", i * 1999);
    ASSERT_TRUE(CreateDirectoryW((temp / name).c_str(), nullptr));
  }
  test::writeBytes(temp / L"00000000.marker", "x");

  std::set<std::wstring> made;
  for (int call = 0; call < 200; ++call) {
    const std::vector<std::wstring> before = test::listFolder(temp.path());
    const std::wstring folder = createStagingFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(folder.compare(0, temp.path().size(), temp.path()), 0) << "outside: " << folder;
    ASSERT_EQ(folder.back(), L'\\');
    const std::wstring name = folder.substr(temp.path().size(), folder.size() - temp.path().size() - 1);
    EXPECT_TRUE(isEightDigits(name)) << name;
    EXPECT_EQ(std::find(before.begin(), before.end(), name), before.end())
        << "took over an existing folder: " << name;
    EXPECT_TRUE(test::folderExists(folder));
    EXPECT_TRUE(test::listFolder(folder).empty());
    EXPECT_TRUE(made.insert(name).second) << "returned twice: " << name;
  }
  EXPECT_EQ(test::listFolder(temp.path()).size(), 50u + 1u + 200u);
}

TEST(StagingFolder, AMissingTemporaryFolderGivesNoFolder) {
  test::TempFolder temp;
  test::ScopedTempPath redirect(temp / L"missing\\");
  EXPECT_EQ(createStagingFolder(), L"");
  EXPECT_TRUE(test::listFolder(temp.path()).empty());
}

}  // namespace
