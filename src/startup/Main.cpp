// Entry point of the setup program: the start-up checks, COM and the common
// controls, then the wizard; its result is the exit code (1 after Close, 2
// after a confirmed Cancel or a failed install, 0 when the wizard's frame
// cannot be created, 1 when a start-up check refuses or the setup file is
// damaged).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "DllSearch.h"
#include "MessageLoop.h"
#include "PayloadCheck.h"
#include "SetupWizard.h"
#include "StartupChecks.h"
#include "TranslationTable.h"
#include "WorkerThread.h"

namespace {

using InitCommonControlsExProcedure = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// The common controls are loaded by hardenDllSearch, after the search is
// restricted, not imported (see there); this takes another reference to the
// same module, the version 6 the manifest binds the name to.
void initCommonControls() {
  HMODULE controls = LoadLibraryW(L"comctl32.dll");
  if (controls == nullptr) return;
  auto initialize = reinterpret_cast<InitCommonControlsExProcedure>(
      reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")));
  if (initialize == nullptr) return;
  INITCOMMONCONTROLSEX classes = {};
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_BAR_CLASSES;
  initialize(&classes);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // First of all, before any DLL is loaded by name.
  tonvane::hardenDllSearch();
  // The worker guard's reports speak through the program's translator.
  tonvane::setReportTranslator(&tonvane::translateText);
  if (const auto refused = tonvane::checkStart()) return *refused;
  if (!tonvane::payloadIntact()) {
    MessageBoxW(GetDesktopWindow(),
                tonvane::translateText(L"The setup file is damaged. Please download it again.").c_str(),
                tonvane::translateText(L"Tonvane Free Setup").c_str(), MB_OK | MB_ICONSTOP);
    tonvane::releaseInstance();
    return 1;
  }

  CoInitialize(nullptr);
  // Makes sure user32 has set up the thread's window state before the
  // common controls register their classes.
  DefWindowProcW(nullptr, WM_NULL, 0, 0);
  initCommonControls();
  tonvane::initModule();

  const int exitCode = tonvane::runWizard(showCommand);

  tonvane::termModule();
  CoUninitialize();
  tonvane::releaseInstance();
  return exitCode;
}
