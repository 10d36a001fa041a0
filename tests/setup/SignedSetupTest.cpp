// The signed setup (made and verified by tests/build/check-signed) as its
// user meets it. Signing rewrites the program's header checksum and
// certificate entry and appends the certificate table, and the uninstaller
// inside is itself a signed file: the setup must still pass its payload
// self-check, walk through its pages and install that signed uninstaller.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "WizardSteps.h"

using namespace tonvane::test;

namespace {

// The setup check-signed signed, and the uninstaller it read back from that
// setup's EXE 210.
std::wstring signedSetupPath() { return winePathOfUnixPath(TONVANE_SIGNED_SETUP); }
std::wstring signedUninstallerPath() { return winePathOfUnixPath(TONVANE_SIGNED_UNINSTALLER); }

class SignedSetupTest : public WholeSetupTest {};

TEST_F(SignedSetupTest, PassesItsSelfCheckAndInstallsTheSignedUninstaller) {
  const std::string signedUninstaller = readBytes(signedUninstallerPath());
  ASSERT_FALSE(signedUninstaller.empty());

  SetupRun run;
  // A payload that fails the self-check ends the setup with a message box
  // before the frame is made.
  ASSERT_TRUE(startAtWelcome(run, L"", signedSetupPath()));
  EXPECT_TRUE(run.messageBoxes().empty());
  ASSERT_TRUE(nextThroughInstall(run));
  EXPECT_TRUE(declineOffersAndClose(run));

  const std::wstring installed = defaultInstallFolder();
  EXPECT_TRUE(fileExists(installed + L"Tonvane.exe"));
  EXPECT_EQ(entryValue(L"DisplayName"), L"Tonvane Free");
  // Byte for byte the uninstaller whose signature check-signed verified.
  const std::string uninstaller = readBytes(installed + L"TonvaneUninstaller.exe");
  EXPECT_EQ(uninstaller.size(), signedUninstaller.size());
  EXPECT_TRUE(uninstaller == signedUninstaller);
}

// The self-check is live on the signed file and covers the signed
// uninstaller: one changed byte of it, and the setup refuses to start.
TEST_F(SignedSetupTest, RefusesToStartWhenItsSignedUninstallerIsChanged) {
  std::string setup = readBytes(signedSetupPath());
  const std::string signedUninstaller = readBytes(signedUninstallerPath());
  ASSERT_FALSE(setup.empty());
  ASSERT_FALSE(signedUninstaller.empty());
  const std::size_t at = setup.find(signedUninstaller);
  ASSERT_NE(at, std::string::npos) << "the signed uninstaller is not in the setup as it is";
  // Inside the uninstaller's certificate table, which the uninstaller's own
  // signature does not cover but the setup's record of EXE 210 does.
  char& changed = setup[at + signedUninstaller.size() - 16];
  changed = static_cast<char>(changed ^ 0x5A);

  TempFolder folder;
  const std::wstring copy = folder / L"TonvaneSetup.exe";
  writeBytes(copy, setup);
  SetupRun run;
  ASSERT_TRUE(run.start(L"", copy));
  HWND box = run.waitForMessageBox(60000);
  ASSERT_NE(box, nullptr) << "no message box; setup ended with " << run.exitCode();
  EXPECT_EQ(SetupRun::messageBoxText(box), L"The setup file is damaged. Please download it again.");
  ASSERT_TRUE(SetupRun::answer(box, IDOK));
  EXPECT_EQ(run.waitForExit(), 1u);
  EXPECT_FALSE(entryExists());
}

}  // namespace
