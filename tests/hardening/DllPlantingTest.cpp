// The setup as it is usually started: from a downloads folder that may hold
// files of an attacker's beside it. The folder here holds copies of a DLL that
// leaves a marker file when loaded, named like DLLs that Windows components
// load late by bare name, and an msiexec.exe that leaves a marker when run.
// Wine prefers its own built-in DLLs whatever lies beside a program, so the
// test tells Wine to prefer native copies ("native,builtin") for the planted
// names; a control program without any protection shows that the planting
// then works.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "RegistryKey.h"
#include "OlderRelease.h"
#include "SetupDriver.h"
#include "SetupInstallation.h"
#include "SetupSandbox.h"
#include "TestFiles.h"
#include "UninstallRegistration.h"
#include "UrlRecorder.h"
#include "WizardSteps.h"

using namespace tonvane;
using namespace tonvane::test;

namespace {

// Planted beside the setup. Every name the setup preloads from the system
// folder; Wine has no built-in cryptbase, clbcatq, ntmarta or profapi, so for
// those the system's copy is missing and only the search order keeps the
// planted one out. msimg32 is among them because Wine's theme code loads it
// late, when the controls paint, through a delayed import that searches the
// program's folder first even under the restricted search.
const wchar_t* const kPlantedLibraries[] = {L"version.dll", L"uxtheme.dll",  L"dwmapi.dll",  L"cryptbase.dll",
                                            L"userenv.dll", L"setupapi.dll", L"apphelp.dll", L"propsys.dll",
                                            L"oleacc.dll",  L"clbcatq.dll",  L"ntmarta.dll", L"profapi.dll",
                                            L"sspicli.dll", L"wintrust.dll", L"secur32.dll", L"msimg32.dll"};

// The name the setup's copy goes by: its own, so that the per-program
// overrides below touch no other test's run of the build's setup.
constexpr const wchar_t* kSetupCopy = L"tonvane-free-setup.exe";

// Wine prefers native copies for the planted names in the programs named
// here, through its per-program overrides (the DllOverrides key under
// HKCU\Software\Wine\AppDefaults\<program>), removed again at the end. A
// WINEDLLOVERRIDES in the environment block of CreateProcess does not do
// this under Wine 8: a new process takes its load order from the Unix
// environment the first Wine process of the run had, whatever block its
// parent gave it.
class NativeFirstOverrides {
 public:
  NativeFirstOverrides(std::wstring program, const std::vector<std::wstring>& libraries)
      : program_(std::move(program)) {
    RegistryKey key;
    status_ = key.create(HKEY_CURRENT_USER, appDefaults() + L"\\DllOverrides");
    for (const std::wstring& name : libraries) {
      if (status_ != ERROR_SUCCESS) return;
      status_ = key.setString(name.substr(0, name.size() - 4), L"native,builtin");  // no ".dll"
    }
  }
  ~NativeFirstOverrides() { RegDeleteTreeW(HKEY_CURRENT_USER, appDefaults().c_str()); }
  NativeFirstOverrides(const NativeFirstOverrides&) = delete;
  NativeFirstOverrides& operator=(const NativeFirstOverrides&) = delete;
  LONG status() const { return status_; }

 private:
  std::wstring appDefaults() const { return L"Software\\Wine\\AppDefaults\\" + program_; }
  std::wstring program_;
  LONG status_ = ERROR_SUCCESS;
};

std::vector<std::wstring> allPlanted() {
  return std::vector<std::wstring>(std::begin(kPlantedLibraries), std::end(kPlantedLibraries));
}

// Native-first for the setup: every planted name but version.dll. Wine's
// own user32 imports version.dll, so with native-first for it Wine maps the
// planted copy while it resolves the setup's import of user32, before the
// setup's first instruction, where no code of the program can act. Windows'
// user32 has no such import. The copy stays planted (Wine's built-in is
// preferred for it in the setup), and the control shows it loads wherever a
// program asks for it by name.
std::vector<std::wstring> plantedForTheSetup() {
  std::vector<std::wstring> names;
  for (const std::wstring& name : allPlanted())
    if (_wcsicmp(name.c_str(), L"version.dll") != 0) names.push_back(name);
  return names;
}

// The marker files in the folder, with what each says (the program that
// loaded or ran the planted file).
std::vector<std::wstring> markers(const std::wstring& folder) {
  std::vector<std::wstring> found;
  for (const std::wstring& name : listFolder(folder)) {
    if (name.size() > 7 && _wcsicmp(name.c_str() + name.size() - 7, L".marker") == 0) {
      const std::string bytes = readBytes(folder + name);
      std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
      found.push_back(name + L": " + text);
    }
  }
  return found;
}

std::string narrow(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) {
    for (wchar_t character : line) text += character < 0x80 ? static_cast<char>(character) : '?';
    text += '\n';
  }
  return text;
}

// A module mapped into a process now.
struct Module {
  std::wstring file;
  BYTE* base;
};

std::vector<Module> modules(DWORD processId) {
  std::vector<Module> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  MODULEENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
    found.push_back({entry.szExePath, entry.modBaseAddr});
  CloseHandle(snapshot);
  return found;
}

// Whether the module is Wine's own code. When Wine prefers its built-in DLL
// but the search met a file of that name first, the built-in is mapped under
// that file's path; its image says "Wine builtin DLL" after the DOS header.
bool isWineBuiltin(HANDLE process, const Module& module) {
  static const char kSignature[] = "Wine builtin DLL";
  char bytes[sizeof kSignature - 1] = {};
  SIZE_T read = 0;
  return ReadProcessMemory(process, module.base + 0x40, bytes, sizeof bytes, &read) && read == sizeof bytes &&
         std::memcmp(bytes, kSignature, sizeof bytes) == 0;
}

bool startsWithInsensitive(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Runs a program of the folder with the folder as its current folder and
// the overrides; its exit code, or STILL_ACTIVE when it did not end.
DWORD runInFolder(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
  SetupRun run;
  if (!run.start(arguments, program, L"", folder)) return 0xFFFFFFFF;
  return run.waitForExit(60000);
}

class DllPlantingTest : public WholeSetupTest {
 protected:
  void SetUp() override {
    WholeSetupTest::SetUp();
    for (const wchar_t* name : kPlantedLibraries)
      ASSERT_TRUE(CopyFileW(winePathOfUnixPath(TONVANE_PLANTED_LIBRARY).c_str(), (folder_ / name).c_str(), FALSE))
          << "planting " << narrow({name});
    ASSERT_TRUE(
        CopyFileW(winePathOfUnixPath(TONVANE_PLANTED_MSIEXEC).c_str(), (folder_ / L"msiexec.exe").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(winePathOfUnixPath(TONVANE_LOAD_PROBE).c_str(), (folder_ / L"load-probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(setupProgramPath().c_str(), (folder_ / kSetupCopy).c_str(), FALSE));
  }

  void clearMarkers() {
    for (const std::wstring& name : listFolder(folder_.path()))
      if (name.size() > 7 && _wcsicmp(name.c_str() + name.size() - 7, L".marker") == 0)
        DeleteFileW((folder_ / name).c_str());
  }

  // The setup's copy started in the folder (its current folder too), and
  // the typical run from Welcome to Close, with the press-release box
  // cleared; on the Complete page, the modules the setup has mapped are
  // checked: none comes from the folder but the setup itself and Wine's own
  // code.
  void driveToTheEnd(SetupRun& run) {
    ASSERT_TRUE(startAtWelcome(run, L"", folder_ / kSetupCopy, L"", folder_.path()));
    ASSERT_TRUE(nextThroughInstall(run));
    ASSERT_TRUE(declineOffers(run));

    const std::vector<Module> mapped = modules(run.processId());
    const std::wstring self = folder_ / kSetupCopy;
    bool sawSelf = false;
    for (const Module& module : mapped) {
      if (_wcsicmp(module.file.c_str(), self.c_str()) == 0) {
        sawSelf = true;
        continue;
      }
      if (startsWithInsensitive(module.file, folder_.path())) {
        EXPECT_TRUE(isWineBuiltin(run.process(), module)) << narrow({module.file});
      }
    }
    // The list was read from the process, not left empty by a failure.
    EXPECT_TRUE(sawSelf) << mapped.size() << " modules";

    ASSERT_TRUE(run.isChecked(IDC_COMPLETE_PRESS_RELEASE));
    ASSERT_TRUE(closeWithoutPressRelease(run));
  }

  TempFolder folder_;
};

// The typical run from the planted folder, with an older release that the
// wizard removes through msiexec: the setup ends normally, the real msiexec
// removed the release, and nothing planted was loaded or run.
TEST_F(DllPlantingTest, TheSetupLoadsNoPlantedDllAndRunsTheSystemsMsiexec) {
  // The setup, the control, and the Windows Installer the setup starts with
  // the planted folder as its current folder.
  NativeFirstOverrides setup(kSetupCopy, plantedForTheSetup());
  NativeFirstOverrides probe(L"load-probe.exe", allPlanted());
  NativeFirstOverrides installer(L"msiexec.exe", allPlanted());
  for (const NativeFirstOverrides* overrides : {&setup, &probe, &installer})
    ASSERT_EQ(overrides->status(), ERROR_SUCCESS);

  // The control: without it the setup's clean result would prove nothing. An
  // unprotected program in the same folder, under the same overrides, does
  // load the planted version.dll and does start the planted msiexec.exe.
  ASSERT_EQ(runInFolder(folder_ / L"load-probe.exe", L"", folder_.path()), 0u);
  ASSERT_TRUE(fileExists(folder_ / L"version.dll.marker")) << narrow(markers(folder_.path()));
  ASSERT_EQ(runInFolder(folder_ / L"load-probe.exe", L"msiexec", folder_.path()), 0u);
  ASSERT_TRUE(fileExists(folder_ / L"msiexec.exe.marker")) << narrow(markers(folder_.path()));
  clearMarkers();
  ASSERT_TRUE(markers(folder_.path()).empty());

  OlderRelease older;
  ASSERT_EQ(older.install(), 0u);
  ASSERT_TRUE(older.registered());
  ASSERT_TRUE(fileExists(older.file()));
  // Nothing is to open a browser; should the press-release box stay ticked
  // after all, the recorder stands in for the browser.
  HttpHandlerSwap swap(urlRecorderCommand(folder_ / L"opened.txt"));
  ASSERT_EQ(swap.status(), ERROR_SUCCESS);

  SetupRun run;
  driveToTheEnd(run);
  if (!HasFatalFailure()) {
    EXPECT_FALSE(older.registered());
    EXPECT_FALSE(fileExists(older.file()));
    EXPECT_TRUE(fileExists(defaultInstallFolder() + L"Tonvane.exe"));
  }
  // Whether the run got through or not, whatever it loaded or started from
  // the folder has left its marker by now.
  const std::vector<std::wstring> left = markers(folder_.path());
  EXPECT_TRUE(left.empty()) << narrow(left);
}

}  // namespace
