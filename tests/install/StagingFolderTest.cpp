// The private staging folder: always a new folder of eight digits directly
// under the user's temporary folder, never one that was there before.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>

#include <aclapi.h>
#include <sddl.h>

#include "PrivateAccess.h"
#include "ScopedEnvironment.h"
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

// The SIDs of the entries of an access list, as text ("S-1-5-18", ...).
std::vector<std::wstring> entrySids(PACL list) {
  std::vector<std::wstring> sids;
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(list, i, &entry)) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &text)) {
      sids.emplace_back(text);
      LocalFree(text);
    }
  }
  return sids;
}

const std::vector<std::wstring> kOthers = {L"S-1-1-0" /* Everyone */, L"S-1-5-32-545" /* Users */,
                                           L"S-1-5-11" /* Authenticated Users */};

// Read back with the system's security API: SYSTEM and the Administrators,
// nobody else. (Wine keeps an access list as the folder's Unix mode, so only
// what that can hold reads back; the descriptor the code builds is checked
// whole below.)
TEST(StagingFolder, AnElevatedSetupMakesItPrivate) {
  ASSERT_TRUE(processIsElevated()) << "the tests run as the setup does, with full rights";
  test::TempFolder temp;
  test::ScopedTempPath redirect(temp.path());
  const std::wstring folder = createStagingFolder();
  ASSERT_FALSE(folder.empty());
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &list, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::vector<std::wstring> sids = entrySids(list);
  LocalFree(descriptor);
  EXPECT_FALSE(sids.empty());
  for (const std::wstring& other : kOthers)
    EXPECT_EQ(std::find(sids.begin(), sids.end(), other), sids.end()) << testing::PrintToString(sids);
}

TEST(PrivateAccess, TheDescriptorIsProtectedAndNamesOnlySystemAndAdministrators) {
  PrivateAccess access;
  ASSERT_NE(access.get(), nullptr);
  EXPECT_FALSE(access.get()->bInheritHandle);
  EXPECT_TRUE(access.get(true)->bInheritHandle);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(access.descriptor(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "inherited entries would let the user's programs in";
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(access.descriptor(), &present, &list, &defaulted));
  ASSERT_TRUE(present);
  EXPECT_EQ(entrySids(list), (std::vector<std::wstring>{L"S-1-5-18", L"S-1-5-32-544"}));
  for (DWORD i = 0; i < list->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(list, i, &entry));
    EXPECT_EQ(static_cast<ACE_HEADER*>(entry)->AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(static_cast<ACCESS_ALLOWED_ACE*>(entry)->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
  }
}

TEST(StagingFolder, AMissingTemporaryFolderGivesNoFolder) {
  test::TempFolder temp;
  test::ScopedTempPath redirect(temp / L"missing\\");
  EXPECT_EQ(createStagingFolder(), L"");
  EXPECT_TRUE(test::listFolder(temp.path()).empty());
}

}  // namespace
