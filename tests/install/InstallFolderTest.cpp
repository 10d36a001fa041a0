// Where a new install folder inherits rights that keep ordinary users from
// changing it: below the system's program folders, of both views.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HeldPath.h"
#include "InstallFolder.h"
#include "PathText.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

std::wstring shellFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  return SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE) ? folder : L"";
}

TEST(SystemProgramFolders, HoldBothViewsAndCountOnlyWhatLiesBelowThem) {
  const std::wstring own = shellFolder(CSIDL_PROGRAM_FILES);
  const std::wstring x86 = shellFolder(CSIDL_PROGRAM_FILESX86);
  wchar_t native[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
  ASSERT_FALSE(own.empty());
  const std::vector<std::wstring> folders = systemProgramFolders();
  for (const std::wstring& expected : {own, x86, std::wstring(native)}) {
    if (expected.empty()) continue;
    EXPECT_TRUE(std::any_of(folders.begin(), folders.end(),
                            [&](const std::wstring& folder) { return sameFinalPath(folder, expected); }))
        << testing::PrintToString(expected) << " missing";
  }

  struct Case {
    std::wstring folder;
    bool below;
  };
  std::vector<Case> cases = {
      {own + L"\\Tonvane Free", true},
      {own + L"\\Marrowfen\\Tonvane Free\\", true},
      {own, false},
      {own + L" Extra\\Tonvane Free", false},
      {own + L"\\..\\Tonvane Free", false},
      {L"C:\\Tools\\Tonvane Free", false},
  };
  cases.push_back({lowerCase(own) + L"\\Tonvane Free", true});
  if (!x86.empty()) cases.push_back({x86 + L"\\Tonvane Free", true});
  if (*native != L'\0') cases.push_back({std::wstring(native) + L"\\Tonvane Free", true});
  for (const Case& c : cases)
    EXPECT_EQ(isBelowSystemProgramFolder(c.folder), c.below) << testing::PrintToString(c.folder);

  // Made there, it inherits; asked again, it is an existing folder.
  const std::wstring vendor = own + L"\\TonvaneTest-" + std::to_wstring(GetCurrentProcessId());
  EXPECT_EQ(makeInstallFolder(vendor + L"\\Tonvane Free\\", false), InstallFolderRights::Inherited);
  EXPECT_TRUE(test::folderExists(vendor + L"\\Tonvane Free"));
  EXPECT_EQ(makeInstallFolder(vendor + L"\\Tonvane Free", false), InstallFolderRights::Existing);
  test::removeTree(vendor);
}

}  // namespace
