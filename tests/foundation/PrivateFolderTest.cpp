// Private folders and held paths: where an elevated program keeps what it
// later starts or deletes, and how it opens what lies in folders a normal
// program can change.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include <sddl.h>

#include "HeldPath.h"
#include "PathText.h"
#include "PrivateAccess.h"
#include "PrivateFolder.h"
#include "ScopedEnvironment.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

std::wstring systemTemporaryFolder() {
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\Temp\\";
}

bool isEightDigits(const std::wstring& name) {
  return name.size() == 8 && std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// The tests run as the setup does, with full rights: the folders go under
// the system's temporary folder, whatever the user's TMP says, and a
// normal user can change neither them nor their parent.
TEST(PrivateFolder, AnElevatedProgramMakesItUnderTheSystemsTemporaryFolderOutOfTheUsersReach) {
  ASSERT_TRUE(processIsElevated());
  test::TempFolder userTemp;
  test::ScopedTempPath redirect(userTemp.path());
  ASSERT_EQ(lowerCase(privateFolderParent()), lowerCase(systemTemporaryFolder()));

  PrivateFolder folder;
  ASSERT_TRUE(folder.create(L"TonvaneTest-"));
  const std::wstring parent = privateFolderParent();
  ASSERT_EQ(folder.path().compare(0, parent.size(), parent), 0) << folder.path();
  const std::wstring name = folder.path().substr(parent.size(), folder.path().size() - parent.size() - 1);
  EXPECT_EQ(name.compare(0, 12, L"TonvaneTest-"), 0) << name;
  EXPECT_TRUE(isEightDigits(name.substr(12))) << name;
  EXPECT_TRUE(test::listFolder(userTemp.path()).empty());

  // Ordinary users get nothing in the folder, and nothing in its parent
  // that would let them rename or replace it.
  EXPECT_EQ(test::ordinaryUserRights(folder.path()), 0ul);
  EXPECT_EQ(test::ordinaryUserRights(parent) & test::kReplacingRights, 0ul)
      << "0x" << std::hex << test::ordinaryUserRights(parent);
  // Held: another program cannot remove it, even empty.
  EXPECT_FALSE(RemoveDirectoryW(folder.path().c_str()));
  const std::wstring path = folder.path();
  folder.remove();
  EXPECT_FALSE(test::folderExists(path));
  EXPECT_EQ(folder.path(), L"");
}

TEST(PrivateFolder, EveryCallMakesANewFolderNeverOneThatWasThereBefore) {
  const std::wstring parent = privateFolderParent();
  ASSERT_FALSE(parent.empty());
  // Decoys of the same form already in place.
  std::vector<std::wstring> decoys;
  for (int i = 0; i < 50; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"TonvaneDecoy-%08d", i * 1999);
    decoys.push_back(parent + name);
    CreateDirectoryW(decoys.back().c_str(), nullptr);
  }
  std::set<std::wstring> made;
  {
    std::vector<PrivateFolder> folders(200);
    for (PrivateFolder& folder : folders) {
      ASSERT_TRUE(folder.create(L"TonvaneDecoy-"));
      EXPECT_TRUE(test::listFolder(folder.path()).empty()) << "took over " << testing::PrintToString(folder.path());
      EXPECT_TRUE(made.insert(folder.path()).second) << "returned twice";
    }
  }
  for (const std::wstring& path : made) EXPECT_FALSE(test::folderExists(path));
  for (const std::wstring& decoy : decoys) {
    EXPECT_TRUE(test::folderExists(decoy));
    RemoveDirectoryW(decoy.c_str());
  }
}

TEST(PrivateFolder, AFolderThatStillHoldsAFileStaysWithIt) {
  std::wstring path;
  {
    PrivateFolder folder;
    ASSERT_TRUE(folder.create());
    path = folder.path();
    test::writeBytes(path + L"left.txt", "left");
  }
  EXPECT_EQ(test::readBytes(path + L"left.txt"), "left");
  test::removeTree(path);
}

TEST(PrivateAccess, TheDescriptorIsProtectedAndNamesOnlySystemAndAdministrators) {
  PrivateAccess access;
  ASSERT_NE(access.get(), nullptr);
  EXPECT_FALSE(access.get()->bInheritHandle);
  EXPECT_TRUE(access.get(true)->bInheritHandle);
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(access.descriptor(), SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr));
  EXPECT_EQ(std::wstring(text), L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  LocalFree(text);
}

// What a held path reports for each kind of place, and that a link to
// another folder never passes for the place it stands in.
TEST(HeldPath, OpensTheNameItselfAndTellsWhereItReallyIs) {
  test::TempFolder temp;
  const std::wstring outside = temp / L"outside\\";
  const std::wstring inside = temp / L"inside\\";
  CreateDirectoryW(outside.c_str(), nullptr);
  CreateDirectoryW(inside.c_str(), nullptr);
  test::writeBytes(outside + L"victim.txt", "keep");
  test::writeBytes(inside + L"own.txt", "own");
  const bool linked = test::makeFolderLink(inside + L"link", outside);

  HeldPath folder;
  ASSERT_TRUE(folder.open(inside, HeldPath::Access::Look));
  const std::wstring insideFinal = folder.finalPath();
  ASSERT_FALSE(insideFinal.empty());
  EXPECT_TRUE(folder.isFolder());
  EXPECT_TRUE(folder.isAt(inside));

  HeldPath file;
  ASSERT_TRUE(file.open(inside + L"own.txt", HeldPath::Access::Delete));
  EXPECT_TRUE(file.isAt(insideFinal + L"\\OWN.TXT"));
  EXPECT_FALSE(file.isAt(insideFinal + L"\\other.txt"));
  std::string bytes;
  EXPECT_TRUE(file.readAll(bytes, 100));
  EXPECT_EQ(bytes, "own");
  EXPECT_FALSE(file.readAll(bytes, 2)) << "longer than the limit";
  EXPECT_TRUE(file.remove());
  EXPECT_FALSE(test::fileExists(inside + L"own.txt"));

  if (!linked) GTEST_SKIP() << "no folder link can be made here";
  HeldPath link;
  ASSERT_TRUE(link.open(inside + L"link", HeldPath::Access::Delete));
  EXPECT_TRUE(link.isReparsePoint());
  EXPECT_FALSE(link.isAt(insideFinal + L"\\link"));
  HeldPath through;
  ASSERT_TRUE(through.open(inside + L"link\\victim.txt", HeldPath::Access::Delete));
  EXPECT_FALSE(through.isAt(insideFinal + L"\\link\\victim.txt"))
      << "followed to " << testing::PrintToString(through.finalPath());
  through.close();
  link.close();
  EXPECT_EQ(test::readBytes(outside + L"victim.txt"), "keep");

  // A folder that holds anything is not removed through its handle.
  HeldPath full;
  ASSERT_TRUE(full.open(outside, HeldPath::Access::Delete));
  EXPECT_FALSE(full.remove());
  EXPECT_TRUE(full.isOpen());
}

}  // namespace
