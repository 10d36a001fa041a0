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
#include "ScopedHandles.h"
#include "SetupMessage.h"
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
  if (!tonvane::payloadIntact()) {
    tonvane::showSetupMessage(GetDesktopWindow(),
                              tonvane::translateText(L"The setup file is damaged. Please download it again."),
                              MB_OK | MB_ICONSTOP);
    tonvane::releaseInstance();
    return 1;
  }

  int exitCode = 0;
  {
    const tonvane::ComInitialization com;
    // Makes sure user32 has set up the thread's window state before the
    // common controls register their classes.
    DefWindowProcW(nullptr, WM_NULL, 0, 0);
    tonvane::registerCommonControls(ICC_BAR_CLASSES);
    tonvane::initModule();
    exitCode = tonvane::runWizard(showCommand);
    tonvane::termModule();
  }
  tonvane::releaseInstance();
  return exitCode;
}
