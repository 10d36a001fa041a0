// The transaction's own rules, apart from an install: the one way a file of
// the install folder is replaced, and how a later run finishes the work of
// one that was killed, from what it left on disk. The whole install's
// faults are tested on the real payloads (tests/wizard/InstallJobTest.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "InstallTransaction.h"
#include "JournalText.h"
#include "TestFiles.h"

using namespace tonvane;
using tonvane::test::TempFolder;

namespace {

using Files = std::map<std::wstring, std::string>;

// Every file below `folder`, relative, with its bytes.
void readTree(const std::wstring& folder, const std::wstring& prefix, Files& files) {
  for (const std::wstring& name : test::listFolder(folder + prefix)) {
    if (test::folderExists(folder + prefix + name))
      readTree(folder, prefix + name + L"\\", files);
    else
      files[prefix + name] = test::readBytes(folder + prefix + name);
  }
}

Files tree(const std::wstring& folder) {
  Files files;
  readTree(folder, L"", files);
  return files;
}

// A disk that fills up part-way is a failure, and the file that was there
// stays whole, with nothing part-written beside it.
TEST(ReplaceFileWithBytes, AWriteThatRunsOutOfDiskFailsAndKeepsTheOldFile) {
  const std::string small = test::environment("TONVANE_SMALL_DISK");
  if (small.empty()) GTEST_SKIP() << "no small disk (the harness mounts one when run as root)";
  const std::wstring folder = test::winePathOfUnixPath(small) + L"\\replace-write\\";
  test::removeTree(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test::writeBytes(folder + L"install.log", "the earlier log");
  const std::string bytes(96 * 1024, 'u');
  ASSERT_TRUE(test::fillDiskLeaving(folder + L"filler", 32 * 1024));

  EXPECT_FALSE(replaceFileWithBytes(folder + L"install.log", bytes.data(), bytes.size()));
  EXPECT_EQ(test::readBytes(folder + L"install.log"), "the earlier log");
  EXPECT_EQ(tree(folder).size(), 2u) << "something beside the log and the filler";

  // With room again, the same write goes through whole; so does one over
  // a staged file a killed run left.
  DeleteFileW((folder + L"filler").c_str());
  test::writeBytes(folder + L"install.log.tonvane-new", "left by a killed run");
  EXPECT_TRUE(replaceFileWithBytes(folder + L"install.log", bytes.data(), bytes.size()));
  EXPECT_EQ(test::readBytes(folder + L"install.log"), bytes);
  EXPECT_EQ(test::listFolder(folder), std::vector<std::wstring>{L"install.log"});
  test::removeTree(folder);
}

// What a run killed in each phase left, and what the next run makes of it:
// before the switch, the earlier release; once it began, the new one; a
// roll-back that was under way, finished. Nothing temporary stays.
TEST(RecoverInterruptedInstall, FinishesEachPhaseFromWhatIsOnDisk) {
  const Files earlier = {{L"a.txt", "old a"}, {L"keep.txt", "kept"}};
  const Files later = {{L"a.txt", "new a"}, {L"keep.txt", "kept"}, {L"sub\\b.txt", "new b"}};
  const struct {
    const char* name;
    JournalPhase phase;
    Files left;  // besides the journal
    Files expected;
  } cases[] = {
      // A folder the install makes is staged whole, under its staged name.
      // Killed while it wrote the next journal: the one in force holds.
      {"killed while staging",
       JournalPhase::Staging,
       {{L"a.txt", "old a"},
        {L"keep.txt", "kept"},
        {L"a.txt.tonvane-new", "new a"},
        {L"sub.tonvane-new\\b.txt", "new"},
        {L"install.journal.tonvane-new", "Phase=Switching"}},
       earlier},
      {"killed before the staged folder moved",
       JournalPhase::Switching,
       {{L"a.txt", "old a"},
        {L"a.txt.tonvane-new", "new a"},
        {L"keep.txt", "kept"},
        {L"sub.tonvane-new\\b.txt", "new b"}},
       later},
      // A setup of an earlier build staged a new folder's files beside
      // their names.
      {"killed in the switch of a setup that staged files one by one",
       JournalPhase::Switching,
       {{L"a.txt", "new a"}, {L"keep.txt", "kept"}, {L"sub\\b.txt.tonvane-new", "new b"}},
       later},
      {"killed between the moves of one file",
       JournalPhase::Switching,
       {{L"a.txt.tonvane-old", "old a"},
        {L"a.txt.tonvane-new", "new a"},
        {L"keep.txt", "kept"},
        {L"sub\\b.txt", "new b"}},
       later},
      {"killed before deleting the backups",
       JournalPhase::Switching,
       {{L"a.txt", "new a"}, {L"a.txt.tonvane-old", "old a"}, {L"keep.txt", "kept"}, {L"sub\\b.txt", "new b"}},
       later},
      {"killed while rolling back",
       JournalPhase::RollingBack,
       {{L"a.txt", "new a"}, {L"a.txt.tonvane-old", "old a"}, {L"keep.txt", "kept"}, {L"sub\\b.txt", "new b"}},
       earlier},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    const std::wstring folder = temp / L"Tonvane Free\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (const auto& file : c.left) {
      const std::size_t slash = file.first.find(L'\\');
      if (slash != std::wstring::npos) CreateDirectoryW((folder + file.first.substr(0, slash)).c_str(), nullptr);
      test::writeBytes(folder + file.first, file.second);
    }
    Journal journal;
    journal.phase = c.phase;
    journal.folders = {L"sub"};
    journal.files = {{L"a.txt", true}, {L"sub\\b.txt", false}};
    test::writeBytes(folder + kJournalFileName, journalBytes(journal));

    EXPECT_TRUE(recoverInterruptedInstall(folder));
    EXPECT_EQ(tree(folder), c.expected);
    // Nothing is left to finish: a second run finds no journal.
    EXPECT_TRUE(recoverInterruptedInstall(folder));
    EXPECT_EQ(tree(folder), c.expected);
  }
}

// A journal is hostile input: one that names a path outside the folder is
// no journal; it is deleted and nothing it names is touched. A first
// install that was killed takes the folder it made with it.
TEST(RecoverInterruptedInstall, APlantedJournalActsOnNothingAndAMadeFolderGoes) {
  TempFolder temp;
  const std::wstring folder = temp / L"Tonvane Free\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test::writeBytes(temp / L"victim.txt.tonvane-new", "not the install's");
  test::writeBytes(folder + L"a.txt.tonvane-new", "staged");
  const std::string planted =
      "Tonvane install journal 1\r\nPhase=Staging\r\nFolderMade=1\r\nFile=1 ..\\victim.txt\r\nFile=0 a.txt\r\nEnd\r\n";
  test::writeBytes(folder + kJournalFileName, planted);
  EXPECT_TRUE(recoverInterruptedInstall(folder));
  EXPECT_EQ(test::readBytes(temp / L"victim.txt.tonvane-new"), "not the install's");
  EXPECT_EQ(tree(folder), (Files{{L"a.txt.tonvane-new", "staged"}}));

  Journal journal;
  journal.folderMade = true;
  journal.files = {{L"a.txt", false}};
  test::writeBytes(folder + kJournalFileName, journalBytes(journal));
  EXPECT_TRUE(recoverInterruptedInstall(folder));
  EXPECT_FALSE(test::folderExists(folder));
}

}  // namespace
