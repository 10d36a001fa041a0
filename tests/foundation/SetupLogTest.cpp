// The setup log on the real file system: what it writes, from several
// threads at once, and the names it refuses to write through.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "NumberText.h"
#include "SetupLog.h"
#include "TestFiles.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

// The log's lines without their time stamps; the stamps checked on the way.
std::vector<std::string> logLines(const std::wstring& path) {
  std::string bytes = readBytes(path);
  std::vector<std::string> lines;
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  if (bytes.size() < 3) return lines;
  bytes.erase(0, 3);
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF at " << start;
    if (end == std::string::npos) break;
    const std::string line = bytes.substr(start, end - start);
    // "hh:mm:ss.mmm "
    EXPECT_GE(line.size(), 13u) << line;
    if (line.size() >= 13) {
      EXPECT_EQ(line[2], ':') << line;
      EXPECT_EQ(line[8], '.') << line;
      EXPECT_EQ(line[12], ' ') << line;
      lines.push_back(line.substr(13));
    }
    start = end + 2;
  }
  return lines;
}

class SetupLogTest : public ::testing::Test {
 protected:
  void TearDown() override { closeSetupLog(); }
  TempFolder temp_;
};

TEST_F(SetupLogTest, WritesUtf8LinesOnlyWhileOpenAndReplacesAnEarlierLog) {
  const std::wstring path = temp_ / L"setup.log";
  writeBytes(path, std::string(5000, 'x'));
  setupLog(L"before the log is open");
  EXPECT_FALSE(setupLogOpen());

  ASSERT_TRUE(openSetupLog(path));
  EXPECT_TRUE(setupLogOpen());
  // "インストール" and a character outside the basic plane.
  setupLog(L"Step \u30A4\u30F3\u30B9\u30C8\u30FC\u30EB \U0001F3B5 " + decimalText(1234567890123ull) + L" " +
           logHex(0x411));
  closeSetupLog();
  EXPECT_FALSE(setupLogOpen());
  setupLog(L"after the log is closed");

  const std::vector<std::string> lines = logLines(path);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "Step \xE3\x82\xA4\xE3\x83\xB3\xE3\x82\xB9\xE3\x83\x88\xE3\x83\xBC\xE3\x83\xAB "
            "\xF0\x9F\x8E\xB5 1234567890123 0x0411");
}

TEST_F(SetupLogTest, ASecondOpenOfTheSameFileFailsAndLeavesTheFirstWriting) {
  const std::wstring path = temp_ / L"setup.log";
  ASSERT_TRUE(openSetupLog(path));
  setupLog(L"first");
  // Another copy of the setup given the same file opens it the same way.
  HANDLE other = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  // This process's own second attempt keeps the log it has.
  EXPECT_FALSE(openSetupLog(path));
  EXPECT_TRUE(setupLogOpen());
  setupLog(L"second");
  closeSetupLog();
  EXPECT_EQ(logLines(path), (std::vector<std::string>{"first", "second"}));
}

struct Writer {
  int id;
  int lines;
};

DWORD WINAPI writeLines(void* data) {
  const Writer& writer = *static_cast<const Writer*>(data);
  const std::wstring filler(200, L'a' + writer.id);
  for (int i = 0; i < writer.lines; ++i)
    setupLog(L"thread " + std::to_wstring(writer.id) + L" line " + std::to_wstring(i) + L" " + filler);
  return 0;
}

TEST_F(SetupLogTest, LinesFromSeveralThreadsArriveWholeAndInEachThreadsOrder) {
  const std::wstring path = temp_ / L"threads.log";
  ASSERT_TRUE(openSetupLog(path));
  constexpr int kThreads = 4, kLines = 300;
  Writer writers[kThreads];
  HANDLE threads[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    writers[t] = {t, kLines};
    threads[t] = CreateThread(nullptr, 0, &writeLines, &writers[t], 0, nullptr);
    ASSERT_NE(threads[t], nullptr);
  }
  WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  closeSetupLog();

  const std::vector<std::string> lines = logLines(path);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  int next[kThreads] = {};
  for (const std::string& line : lines) {
    int id = -1, number = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &id, &number), 2) << line;
    ASSERT_GE(id, 0);
    ASSERT_LT(id, kThreads);
    EXPECT_EQ(number, next[id]++) << line;
    const std::string expected = "thread " + std::to_string(id) + " line " + std::to_string(number) + " " +
                                 std::string(200, static_cast<char>('a' + id));
    EXPECT_EQ(line, expected);
  }
}

TEST_F(SetupLogTest, RefusesNamesThatAreNoPlainFileOfTheirOwn) {
  // A second name of a file that lives elsewhere: writing the log would
  // empty that file.
  const std::wstring precious = temp_ / L"precious.dat";
  writeBytes(precious, "keep me");
  const std::wstring hardLink = temp_ / L"hard.log";
  ASSERT_TRUE(CreateHardLinkW(hardLink.c_str(), precious.c_str(), nullptr)) << GetLastError();
  EXPECT_FALSE(openSetupLog(hardLink));
  EXPECT_EQ(readBytes(precious), "keep me");

  // A folder, devices, a folder that does not exist (it is not made).
  CreateDirectoryW((temp_ / L"folder.log").c_str(), nullptr);
  EXPECT_FALSE(openSetupLog(temp_ / L"folder.log"));
  EXPECT_FALSE(openSetupLog(temp_ / L"NUL"));
  EXPECT_FALSE(openSetupLog(temp_ / L"con.log"));
  EXPECT_FALSE(openSetupLog(L"\\\\.\\pipe\\tonvane-log"));
  EXPECT_FALSE(openSetupLog(temp_ / L"missing\\setup.log"));
  EXPECT_FALSE(folderExists(temp_ / L"missing"));
  EXPECT_FALSE(openSetupLog(L""));
  EXPECT_FALSE(setupLogOpen());
}

// Device, verbatim and pipe forms are refused from their text. Those that
// lead into the test's folder would reach a file there; the pipe is one
// this test serves, which a refused name must never have connected to.
TEST_F(SetupLogTest, RefusesDeviceVerbatimAndPipeFormsBeforeOpeningAnything) {
  const std::wstring pipe = L"tonvane-log-" + std::to_wstring(GetCurrentProcessId());
  HANDLE server =
      CreateNamedPipeW((L"\\\\.\\pipe\\" + pipe).c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();
  std::wstring slashed = temp_.path();
  for (wchar_t& c : slashed)
    if (c == L'\\') c = L'/';
  const std::wstring cases[] = {
      L"\\\\?\\" + temp_.path() + L"verbatim.log",
      L"\\\\?\\GLOBALROOT\\??\\" + temp_.path() + L"globalroot.log",
      L"\\??\\" + temp_.path() + L"object.log",
      L"\\\\.\\" + temp_.path() + L"device.log",
      L"//?/" + slashed + L"verbatim.log",
      L"//./" + slashed + L"device.log",
      L"\\\\.\\pipe\\" + pipe,
      L"//./pipe/" + pipe,
      L"\\\\localhost\\pipe\\" + pipe,
      L"\\\\localhost\\PIPE.\\" + pipe,
      L"\\\\localhost\\mailslot\\tonvane-log",
      L"\\\\.",
  };
  for (const std::wstring& path : cases) EXPECT_FALSE(openSetupLog(path)) << testing::PrintToString(path);
  EXPECT_FALSE(setupLogOpen());
  EXPECT_TRUE(listFolder(temp_.path()).empty());
  // The pipe's one instance still waits for its first client.
  HANDLE client = CreateFileW((L"\\\\.\\pipe\\" + pipe).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(client, INVALID_HANDLE_VALUE) << "a refused name took the pipe: " << GetLastError();
  if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
  CloseHandle(server);
}

// A link at a folder on the way leads the log elsewhere, just as one at
// the name itself does.
TEST_F(SetupLogTest, AFolderLinkOnTheWayIsNotWrittenThrough) {
  const std::wstring target = temp_ / L"target\\";
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((target + L"deeper").c_str(), nullptr));
  writeBytes(target + L"setup.log", "keep me");
  writeBytes(target + L"deeper\\setup.log", "keep me too");
  if (!makeFolderLink(temp_ / L"link", target)) GTEST_SKIP() << "no folder link can be made here";
  for (const wchar_t* name : {L"link\\setup.log", L"link\\new.log", L"link\\deeper\\setup.log"})
    EXPECT_FALSE(openSetupLog(temp_ / name)) << testing::PrintToString(std::wstring(name));
  EXPECT_FALSE(setupLogOpen());
  EXPECT_EQ(listFolder(target), (std::vector<std::wstring>{L"deeper", L"setup.log"}));
  EXPECT_EQ(readBytes(target + L"setup.log"), "keep me");
  EXPECT_EQ(readBytes(target + L"deeper\\setup.log"), "keep me too");
}

// The same file named the ways a command line may name it.
TEST_F(SetupLogTest, ARelativeShortOrSlashedNameOfAPlainFileIsWritten) {
  const std::wstring folder = temp_ / L"a long folder name";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t shortName[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(folder.c_str(), shortName, MAX_PATH), 0u);
  std::wstring slashed = folder;
  for (wchar_t& c : slashed)
    if (c == L'\\') c = L'/';
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(temp_.path().c_str()));
  const std::wstring cases[] = {L"a long folder name\\setup.log", std::wstring(shortName) + L"\\setup.log",
                                slashed + L"/setup.log"};
  for (const std::wstring& path : cases) {
    SCOPED_TRACE(testing::PrintToString(path));
    DeleteFileW((folder + L"\\setup.log").c_str());
    EXPECT_TRUE(openSetupLog(path));
    setupLog(L"written");
    closeSetupLog();
    EXPECT_EQ(logLines(folder + L"\\setup.log"), std::vector<std::string>{"written"});
  }
  SetCurrentDirectoryW(previous);
}

TEST_F(SetupLogTest, ASymbolicLinkIsNotWrittenThrough) {
  const std::wstring precious = temp_ / L"target.dat";
  writeBytes(precious, "keep me");
  const std::wstring link = temp_ / L"link.log";
  // Wine 8 answers TRUE without making anything; only a link that reads
  // as its target is one.
  if (!CreateSymbolicLinkW(link.c_str(), precious.c_str(), 0) || readBytes(link) != "keep me")
    GTEST_SKIP() << "no symbolic links can be made here";
  EXPECT_FALSE(openSetupLog(link));
  EXPECT_EQ(readBytes(precious), "keep me");
}

}  // namespace
