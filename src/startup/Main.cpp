// Entry point of the setup program: the start-up checks, COM and the common
// controls, then the wizard; its result is the exit code (1 after Close, 2
// after a confirmed Cancel or a failed install, 0 when the wizard's frame
// cannot be created, 1 when a start-up check refuses).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "DllSearch.h"
#include "MessageLoop.h"
#include "SetupWizard.h"
#include "StartupChecks.h"
#include "TranslationTable.h"
#include "WorkerThread.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // First of all, before any DLL is loaded by name.
  tonvane::hardenDllSearch();
  // The worker guard's reports speak through the program's translator.
  tonvane::setReportTranslator(&tonvane::translateText);
  if (const auto refused = tonvane::checkStart()) return *refused;

  CoInitialize(nullptr);
  // Makes sure user32 has set up the thread's window state before the
  // common controls register their classes.
  DefWindowProcW(nullptr, WM_NULL, 0, 0);
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  tonvane::initModule();

  const int exitCode = tonvane::runWizard(showCommand);

  tonvane::termModule();
  CoUninitialize();
  tonvane::releaseInstance();
  return exitCode;
}
