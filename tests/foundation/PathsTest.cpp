#include <windows.h>

#include <gtest/gtest.h>

#include "Paths.h"
#include "TestFiles.h"

using namespace tonvane;

namespace {

TEST(PathText, TrailingBackslashAndLowerCase) {
  EXPECT_EQ(ensureTrailingBackslash(L""), L"");
  EXPECT_EQ(ensureTrailingBackslash(L"C:\\A"), L"C:\\A\\");
  EXPECT_EQ(ensureTrailingBackslash(L"C:\\A\\"), L"C:\\A\\");
  EXPECT_EQ(removeTrailingBackslash(L"C:\\A\\\\"), L"C:\\A\\");
  EXPECT_EQ(removeTrailingBackslash(L"C:\\A"), L"C:\\A");
  EXPECT_EQ(removeTrailingBackslash(L""), L"");
  EXPECT_EQ(lowerCase(L"ABC xyz \u00c9\uff21[]@"), L"abc xyz \u00c9\uff21[]@");
}

TEST(SplitPath, SplitsLikeTheRuntime) {
  const PathParts parts = splitPath(L"C:\\A\\B\\File.Name.TXT");
  EXPECT_STREQ(parts.drive, L"C:");
  EXPECT_STREQ(parts.directory, L"\\A\\B\\");
  EXPECT_STREQ(parts.fileName, L"File.Name");
  EXPECT_STREQ(parts.extension, L".TXT");
  EXPECT_EQ(partsFolder(parts), L"C:\\A\\B\\");
  EXPECT_EQ(partsFullPath(parts), L"C:\\A\\B\\File.Name.TXT");
  EXPECT_EQ(partsFileNameLower(parts), L"file.name.txt");

  const PathParts relative = splitPath(L"dir/name");
  EXPECT_STREQ(relative.drive, L"");
  EXPECT_STREQ(relative.directory, L"dir/");
  EXPECT_STREQ(relative.fileName, L"name");
  EXPECT_STREQ(relative.extension, L"");

  // The empty path is the running program.
  EXPECT_EQ(partsFullPath(splitPath(L"")), modulePath());
  EXPECT_TRUE(hasExtension(splitPath(L""), L"exe"));
}

TEST(HasExtension, IgnoresCaseAndTheLeadingDot) {
  const PathParts parts = splitPath(L"C:\\x\\setup.Exe");
  EXPECT_TRUE(hasExtension(parts, L"EXE"));
  EXPECT_TRUE(hasExtension(parts, L".exe"));
  EXPECT_TRUE(hasExtension(parts, L"exe"));
  EXPECT_FALSE(hasExtension(parts, L""));
  EXPECT_FALSE(hasExtension(parts, L"ex"));
  EXPECT_FALSE(hasExtension(splitPath(L"C:\\x\\noext"), L"."));
  EXPECT_TRUE(hasExtension(splitPath(L"C:\\x\\dot."), L"."));
}

TEST(FolderOfPath, GivesTheFolderWithATrailingBackslash) {
  EXPECT_EQ(folderOfPath(L"C:\\A\\B\\f.txt"), L"C:\\A\\B\\");
  EXPECT_EQ(folderOfPath(L"C:\\A\\B\\"), L"C:\\A\\");
  EXPECT_EQ(folderOfPath(L"C:\\A\\B"), L"C:\\A\\");
  EXPECT_EQ(folderOfPath(L"C:\\f.txt"), L"C:\\");

  std::wstring program = modulePath();
  program.resize(program.rfind(L'\\') + 1);
  EXPECT_EQ(folderOfPath(L""), program);
}

TEST(EnsureFolder, CreatesEveryMissingLevel) {
  test::TempFolder temp;
  const std::wstring deep = temp / L"one\\two\\three";
  EXPECT_TRUE(ensureFolder(deep));
  EXPECT_TRUE(test::folderExists(temp / L"one"));
  EXPECT_TRUE(test::folderExists(deep));
  EXPECT_TRUE(ensureFolder(deep));  // already there

  EXPECT_TRUE(ensureFolder(temp / L"with\\trailing\\"));
  EXPECT_TRUE(test::folderExists(temp / L"with\\trailing"));

  EXPECT_TRUE(ensureFolder(L""));
  EXPECT_FALSE(ensureFolder(L"no-such-relative-folder-name"));

  // A file in the way is no folder.
  test::writeBytes(temp / L"file", "x");
  EXPECT_FALSE(ensureFolder(temp / L"file\\below"));
}

TEST(ContainedRelativePath, RefusesNamesThatLeaveTheFolder) {
  for (const wchar_t* name : {L"a.txt", L"resource\\pic.png", L"a\\b\\", L".\\x", L"a..b", L"..a", L"a\\b..\\c"})
    EXPECT_TRUE(isContainedRelativePath(name)) << name;
  for (const wchar_t* name : {L"", L"..", L"..\\x", L"a\\..\\..\\x", L"a\\..", L"\\x", L"\\\\server\\share\\x", L"C:x",
                              L"C:\\x", L"file.txt:stream", L"... \\x", L". .\\x", L"a\\...\\x"})
    EXPECT_FALSE(isContainedRelativePath(name)) << name;
}

TEST(ReservedDeviceName, DevicesInAnyCaseWithOrWithoutExtensionButNotLongerNames) {
  for (const wchar_t* step :
       {L"CON", L"con", L"Nul", L"aux.h", L"prn.txt.bak", L"COM1", L"com9.log", L"COM0", L"lpt0.txt", L"LPT1", L"lpt9",
        L"nul ", L"CON.", L"con .txt", L"COM\u00B9", L"lpt\u00B3.x"})
    EXPECT_TRUE(isReservedDeviceName(step)) << step;
  for (const wchar_t* step :
       {L"", L"CONSOLE", L"con1", L"COM10", L"LPT", L"nul-free", L"xcon", L"a.con", L".nul", L"COM\u00B4"})
    EXPECT_FALSE(isReservedDeviceName(step)) << step;
}

TEST(PathInsideFolder, OnlyDescendantsThatStayBelowTheFolder) {
  const std::wstring folder = L"C:\\Program Files\\Tonvane Free";
  for (const wchar_t* path : {L"C:\\Program Files\\Tonvane Free\\a.exe", L"c:\\program files\\TONVANE FREE\\r\\b.png"})
    EXPECT_TRUE(isPathInsideFolder(path, folder)) << path;
  for (const wchar_t* path : {L"C:\\Program Files\\Tonvane Free", L"C:\\Program Files\\Tonvane Free\\",
                              L"C:\\Program Files\\Tonvane Freedom\\a", L"C:\\Program Files\\Tonvane Free\\..\\x",
                              L"C:\\Program Files\\Tonvane Free\\a/../../x", L"C:\\Program Files\\Tonvane Free\\a:s",
                              L"D:\\Program Files\\Tonvane Free\\a", L""})
    EXPECT_FALSE(isPathInsideFolder(path, folder)) << path;
  EXPECT_FALSE(isPathInsideFolder(L"C:\\x", L""));
}

// Each path read as the system reads it (either slash a separator) and as
// written with backslashes only.
TEST(ClassifyPath, TellsTheFormsApartWithEitherSlashOrBackslashesOnly) {
  using K = PathKind;
  const struct {
    const wchar_t* path;
    PathKind either;
    PathKind backslash;
  } cases[] = {
      {L"", K::Relative, K::Relative},
      {L"Tonvane Free\\", K::Relative, K::Relative},
      {L".\\Apps", K::Relative, K::Relative},
      {L"C:", K::DriveRelative, K::DriveRelative},
      {L"C:Apps", K::DriveRelative, K::DriveRelative},
      {L"C:\\", K::Drive, K::Drive},
      {L"d:\\Apps\\Tonvane Free\\", K::Drive, K::Drive},
      {L"C:\\Apps\\..\\Windows", K::Drive, K::Drive},
      {L"C:/Apps", K::Drive, K::DriveRelative},
      {L"C:\\a/b", K::Drive, K::Drive},
      {L"1:\\Apps", K::Device, K::Device},
      {L"\\Apps", K::Rooted, K::Rooted},
      {L"/Apps", K::Rooted, K::Relative},
      {L"\\??", K::Rooted, K::Rooted},
      {L"\\\\server\\share", K::Network, K::Network},
      {L"\\\\server\\share\\Tonvane Free\\", K::Network, K::Network},
      {L"//server/share", K::Network, K::Relative},
      {L"\\\\server/share", K::Network, K::IncompleteNetwork},
      {L"\\\\", K::IncompleteNetwork, K::IncompleteNetwork},
      {L"\\\\server", K::IncompleteNetwork, K::IncompleteNetwork},
      {L"\\\\server\\", K::IncompleteNetwork, K::IncompleteNetwork},
      {L"\\\\\\share", K::IncompleteNetwork, K::IncompleteNetwork},
      {L"\\\\server\\\\share", K::IncompleteNetwork, K::IncompleteNetwork},
      {L"\\\\?\\C:\\Apps", K::Device, K::Device},
      {L"\\\\?\\UNC\\server\\share", K::Device, K::Device},
      {L"\\\\.\\PhysicalDrive0", K::Device, K::Device},
      {L"\\\\.", K::Device, K::Device},
      {L"\\\\.server\\share", K::Device, K::Device},
      {L"//?/C:/Apps", K::Device, K::Relative},
      {L"\\??\\C:\\Apps", K::Device, K::Device},
      {L"/?\?/C:", K::Device, K::Relative},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(classifyPath(c.path, Separators::Either), c.either) << c.path;
    EXPECT_EQ(classifyPath(c.path, Separators::Backslash), c.backslash) << c.path;
  }
}

}  // namespace
