#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Paths.h"
#include "ProcessRunner.h"
#include "ScopedEnvironment.h"
#include "TestFiles.h"

using namespace tonvane;
using tonvane::test::ScopedEnvironment;
using tonvane::test::TempFolder;

namespace {

const wchar_t kProbeOutput[] = L"TONVANE_PROBE_OUTPUT";

// Built beside this test program (tests/install/CommandLineProbe.cpp).
std::wstring probePath() { return folderOfPath(L"") + L"command_line_probe.exe"; }

std::wstring systemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length);
}

// The probe's record of its command line.
std::wstring probeCommandLine(const std::wstring& outputFile) {
  const std::string bytes = test::readBytes(outputFile);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::wstring& folder) {
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_ = previous;
    SetCurrentDirectoryW(folder.c_str());
  }
  ~ScopedCurrentFolder() { SetCurrentDirectoryW(previous_.c_str()); }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::wstring previous_;
};

// A copy of the probe under another name, removed again at the end.
class PlantedCopy {
 public:
  PlantedCopy(const std::wstring& path) : path_(path) {
    planted_ = CopyFileW(probePath().c_str(), path_.c_str(), FALSE) != 0;
  }
  ~PlantedCopy() { DeleteFileW(path_.c_str()); }
  PlantedCopy(const PlantedCopy&) = delete;
  PlantedCopy& operator=(const PlantedCopy&) = delete;
  bool planted() const { return planted_; }

 private:
  std::wstring path_;
  bool planted_ = false;
};

TEST(RunAndWait, ReturnsTheProgramsExitCode) {
  EXPECT_EQ(runAndWait(probePath(), L""), 42u);
  // Bare names, with and without their extension, from the system folder.
  EXPECT_EQ(runAndWait(L"cmd.exe", L"/c exit 7"), 7u);
  EXPECT_EQ(runAndWait(L"cmd", L"/c exit 300"), 300u);
  EXPECT_EQ(runAndWait(systemFolder() + L"\\cmd.exe", L"/c exit 0"), 0u);

  // What cannot be started gives 0 at once.
  EXPECT_EQ(runAndWait(L"C:\\nowhere\\missing.exe", L""), 0u);
  EXPECT_EQ(runAndWait(L"tonvane-missing-program", L"/c exit 7"), 0u);
}

TEST(RunProgram, TellsAProgramThatEndedWithZeroFromOneThatNeverStarted) {
  EXPECT_EQ(runProgram(systemFolder() + L"\\cmd.exe", L"/c exit 0"), std::optional<std::uint32_t>(0));
  EXPECT_EQ(runProgram(L"cmd", L"/c exit 300"), std::optional<std::uint32_t>(300));
  EXPECT_EQ(runProgram(probePath(), L""), std::optional<std::uint32_t>(42));
  EXPECT_EQ(runProgram(L"C:\\nowhere\\missing.exe", L""), std::nullopt);
  EXPECT_EQ(runProgram(L"tonvane-missing-program", L"/c exit 0"), std::nullopt);
}

TEST(RunAndWait, TheCommandLineIsTheQuotedProgramThenTheArguments) {
  TempFolder temp;
  const std::wstring output = temp / L"command-line.bin";
  ScopedEnvironment environment(kProbeOutput, output);

  ASSERT_EQ(runAndWait(probePath(), L""), 42u);
  EXPECT_EQ(probeCommandLine(output), L"\"" + probePath() + L"\"");

  ASSERT_EQ(runAndWait(probePath(), L"/x{CODE}  \"two words\" /passive"), 42u);
  EXPECT_EQ(probeCommandLine(output), L"\"" + probePath() + L"\" /x{CODE}  \"two words\" /passive");
}

TEST(RunAndWait, StartsInTheGivenWorkingFolderOrThisProcesssOwn) {
  TempFolder temp;
  const std::wstring output = temp / L"folder.bin";
  ScopedEnvironment environment(L"TONVANE_PROBE_FOLDER", output);
  CreateDirectoryW((temp / L"work").c_str(), nullptr);
  ASSERT_EQ(runAndWait(probePath(), L"", temp / L"work"), 42u);
  EXPECT_EQ(probeCommandLine(output), temp / L"work");

  wchar_t own[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, own);
  ASSERT_EQ(runAndWait(probePath(), L""), 42u);
  EXPECT_EQ(probeCommandLine(output), own);
}

TEST(RunAndWait, ABareNameIsNeverTakenFromTheProgramsOrTheCurrentFolder) {
  TempFolder temp;
  const std::wstring marker = temp / L"planted-program-ran.bin";
  ScopedEnvironment environment(kProbeOutput, marker);
  ScopedCurrentFolder current(temp.path());
  PlantedCopy inCurrentFolder(temp / L"msiexec.exe");
  PlantedCopy besideThisProgram(folderOfPath(L"") + L"msiexec.exe");
  ASSERT_TRUE(inCurrentFolder.planted());
  ASSERT_TRUE(besideThisProgram.planted());

  // The planted copies do run when named with their folder.
  ASSERT_EQ(runAndWait(temp / L"msiexec.exe", L""), 42u);
  ASSERT_TRUE(test::fileExists(marker));
  DeleteFileW(marker.c_str());
  ASSERT_EQ(runAndWait(folderOfPath(L"") + L"msiexec.exe", L""), 42u);
  ASSERT_TRUE(test::fileExists(marker));
  DeleteFileW(marker.c_str());

  // Uninstalling a product that is not there: the real Windows Installer
  // answers ERROR_UNKNOWN_PRODUCT without showing anything.
  const std::wstring arguments = L"/x{1D0A5E00-7A3C-4E21-9B3F-0000000000EE} /qn";
  const std::uint32_t real = runAndWait(systemFolder() + L"\\msiexec.exe", arguments);
  EXPECT_EQ(real, static_cast<std::uint32_t>(ERROR_UNKNOWN_PRODUCT));
  EXPECT_EQ(runAndWait(L"msiexec", arguments), real);
  EXPECT_EQ(runAndWait(L"msiexec.exe", arguments), real);
  EXPECT_FALSE(test::fileExists(marker));
}

}  // namespace
