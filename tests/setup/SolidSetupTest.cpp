// A setup whose application archive travels in the solid form (built beside
// the build's own setup, whatever the build's setting: tests/setup/
// CMakeLists.txt), run as an administrator's script runs it. Its payload is
// text and noise in nested folders, more than the decoder's window, so the
// pass meets matches far back in it.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "ResourceIds.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

std::wstring solidSetup() { return winePathOfUnixPath(TONVANE_SOLID_SETUP); }

// The files the setup writes beside the application's own.
bool isInstallersOwn(const std::wstring& name) { return name == L"install.log" || name == L"TonvaneUninstaller.exe"; }

// The setup's resource as its file holds it.
std::string resourceOf(const std::wstring& program, const wchar_t* type, unsigned id) {
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return std::string();
  std::string bytes;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type))
    if (const char* data = static_cast<const char*>(LockResource(LoadResource(module, found))))
      bytes.assign(data, SizeofResource(module, found));
  FreeLibrary(module);
  return bytes;
}

void putLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

class SolidSetupTest : public SetupSandbox {
 protected:
  DWORD runSilently(const std::wstring& program, const std::wstring& arguments) {
    SetupRun run;
    EXPECT_TRUE(run.start(arguments, program, partnerEnvironment()));
    return run.waitForExit(300000);
  }

  // Checks that the install folder holds the payload's files byte for byte
  // and nothing else but the setup's own two.
  void expectPayloadInstalled() {
    const InstallSnapshot installed = snapshotInstallation(folder_);
    const InstallSnapshot payload = snapshotInstallation(winePathOfUnixPath(TONVANE_SOLID_TREE));
    std::size_t own = 0;
    for (const auto& file : installed.files) {
      if (isInstallersOwn(file.first)) {
        ++own;
        // Carried packed like the application, unpacked by the same pass.
        if (file.first == L"TonvaneUninstaller.exe") {
          EXPECT_TRUE(file.second == readBytes(winePathOfUnixPath(TONVANE_UNINSTALLER))) << "the uninstaller differs";
        }
        continue;
      }
      const auto found = payload.files.find(file.first);
      ASSERT_NE(found, payload.files.end()) << utf8Of(file.first) << " is no file of the payload";
      EXPECT_TRUE(found->second == file.second) << utf8Of(file.first) << " differs";
    }
    EXPECT_EQ(own, 2u);
    EXPECT_EQ(installed.files.size(), payload.files.size() + 2);
  }

  // A copy of the solid setup whose compressed stream is damaged in its
  // middle, with the start-up check's record made to match: what a stream
  // spoilt before the record was made would look like, which only the pass
  // through the stream can tell.
  std::wstring damagedCopy() {
    const std::string payload = resourceOf(solidSetup(), L"ZIP", IDR_APPLICATION_ARCHIVE);
    const std::string record = resourceOf(solidSetup(), L"PAYLOADCHECK", IDR_PAYLOAD_CHECK);
    EXPECT_EQ(payload.compare(0, 8, "TVSOLID1"), 0);
    std::string image = readBytes(solidSetup());
    const std::size_t payloadAt = image.find(payload);
    const std::size_t recordAt = image.find(record);
    if (payloadAt == std::string::npos || recordAt == std::string::npos || payload.size() < 100000) {
      ADD_FAILURE() << "the payload or its record is not in the setup's file";
      return std::wstring();
    }
    std::string damaged = payload;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 16; ++i)
      damaged[i] = static_cast<char>(~damaged[i]);
    image.replace(payloadAt, damaged.size(), damaged);
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(damaged.data()), static_cast<uInt>(damaged.size()));
    // Four numbers a payload: type code (1 ZIP), id, size, CRC-32.
    bool fixed = false;
    for (std::size_t at = 0; at + 16 <= record.size(); at += 16) {
      std::uint32_t fields[4];
      std::memcpy(fields, record.data() + at, sizeof fields);
      if (fields[0] == 1 && fields[1] == IDR_APPLICATION_ARCHIVE) {
        putLe32(image, recordAt + at + 12, static_cast<std::uint32_t>(crc));
        fixed = true;
      }
    }
    EXPECT_TRUE(fixed) << "no record of ZIP " << IDR_APPLICATION_ARCHIVE;
    const std::wstring copy = temp_ / L"damaged\\TonvaneSetup.exe";
    CreateDirectoryW((temp_ / L"damaged").c_str(), nullptr);
    writeBytes(copy, image);
    return copy;
  }

  const std::wstring folder_ = temp_ / L"Apps\\Solid";
};

// Installed, then installed again over itself (every file replaced). The
// room check counted the payload's files from the directory that travels
// beside the stream: without it, the need would be the uninstaller's and
// the log's alone.
TEST_F(SolidSetupTest, InstallsThePayloadByteForByteAndAgainOverItself) {
  const std::string uninstaller = resourceOf(solidSetup(), L"EXE", IDR_UNINSTALLER);
  EXPECT_EQ(uninstaller.compare(0, 8, "TVSOLID1"), 0) << "the uninstaller travels unpacked";
  const std::wstring log = temp_ / L"setup.log";
  ASSERT_EQ(runSilently(solidSetup(), L"/S \"/LOG=" + log + L"\" /D=" + folder_), 0u);
  expectPayloadInstalled();
  const std::string text = readBytes(log);
  const std::string needs = "The install needs ";
  const std::size_t at = text.find(needs);
  ASSERT_NE(at, std::string::npos) << text;
  ASSERT_EQ(text.compare(text.find(' ', at + needs.size()), 4, " MB "), 0) << text.substr(at, 80);
  std::uint64_t payloadBytes = 0;
  for (const auto& file : snapshotInstallation(winePathOfUnixPath(TONVANE_SOLID_TREE)).files)
    payloadBytes += file.second.size();
  EXPECT_GE(std::stod(text.substr(at + needs.size())) * 1024 * 1024, static_cast<double>(payloadBytes))
      << text.substr(at, 80);

  ASSERT_EQ(runSilently(solidSetup(), L"/S /D=" + folder_), 0u);
  expectPayloadInstalled();
}

// A stream damaged half-way fails the install (1603, the log naming the
// fault) after half the files were staged, and leaves the installed release
// as it was, or, on a first install, nothing.
TEST_F(SolidSetupTest, ADamagedStreamFailsTheInstallAndChangesNothing) {
  const std::wstring damaged = damagedCopy();
  ASSERT_FALSE(damaged.empty());
  const std::wstring log = temp_ / L"setup.log";

  EXPECT_EQ(runSilently(damaged, L"/S \"/LOG=" + log + L"\" /D=" + folder_), 1603u);
  EXPECT_FALSE(folderExists(folder_));
  EXPECT_FALSE(entryExists());
  const std::string text = readBytes(log);
  EXPECT_NE(text.find("The archive is not the one its directory describes: "), std::string::npos) << text;
  EXPECT_NE(text.find("Install failed: the application's files did not arrive"), std::string::npos) << text;

  ASSERT_EQ(runSilently(solidSetup(), L"/S /D=" + folder_), 0u);
  const InstallSnapshot before = snapshotInstallation(folder_);
  EXPECT_EQ(runSilently(damaged, L"/S /D=" + folder_), 1603u);
  const InstallSnapshot after = snapshotInstallation(folder_);
  EXPECT_TRUE(after.files == before.files) << "the installed files changed";
  EXPECT_EQ(after.entry, before.entry);
  EXPECT_EQ(after.links, before.links);
}

}  // namespace
