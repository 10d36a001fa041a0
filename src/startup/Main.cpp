// Entry point of the setup program: the start-up checks, COM and the common
// controls, then the wizard, whose result is the exit code (the Wizard...
// codes of ExitCode.h). "/S" installs without the wizard and ends with the
// Silent... codes, and "/?" shows the options instead; "/LOG=" keeps a setup
// log of either run.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "DllSearch.h"
#include "ExitCode.h"
#include "MessageLoop.h"
#include "NumberText.h"
#include "PayloadCheck.h"
#include "ScopedHandles.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "SetupOptions.h"
#include "SetupWizard.h"
#include "SilentInstall.h"
#include "StartupChecks.h"
#include "TranslationTable.h"
#include "WorkerThread.h"
#ifdef TONVANE_SOLID_APPLICATION_ARCHIVE
#include "SolidArchive.h"
#endif

namespace {

using tonvane::ExitCode;

ExitCode runSetup(const tonvane::SetupOptions& options, int showCommand) {
  // Nothing but the help box may show itself in a silent run.
  const bool silent = options.silent && !options.help;
  if (silent && !tonvane::silentOptionsKnown(options)) return ExitCode::SilentInvalidOption;
  if (const auto refused = tonvane::checkStart(tonvane::systemStartupPlatform(), !silent)) return *refused;
  if (!tonvane::payloadIntact()) {
    tonvane::setupLog(L"Refused at start-up: the setup file is damaged");
    if (!silent)
      tonvane::showSetupMessage(GetDesktopWindow(),
                                tonvane::translateText(L"The setup file is damaged. Please download it again."),
                                MB_OK | MB_ICONSTOP);
    tonvane::releaseInstance();
    return silent ? ExitCode::SilentDamagedSetup : ExitCode::WizardRefused;
  }

  ExitCode exitCode = ExitCode::HelpShown;
  {
    const tonvane::ComInitialization com;
    if (options.help) {
      tonvane::showSetupHelp();
    } else if (silent) {
      exitCode = tonvane::runSilentInstall(options);
    } else {
      // Makes sure user32 has set up the thread's window state before the
      // common controls register their classes.
      DefWindowProcW(nullptr, WM_NULL, 0, 0);
      tonvane::registerCommonControls(ICC_BAR_CLASSES);
      tonvane::initModule();
      exitCode = tonvane::runWizard(showCommand);
      tonvane::termModule();
    }
  }
  tonvane::releaseInstance();
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // First of all, before any DLL is loaded by name.
  tonvane::hardenDllSearch();
  // The worker guard's reports speak through the program's translator.
  tonvane::setReportTranslator(&tonvane::translateText);
#ifdef TONVANE_SOLID_APPLICATION_ARCHIVE
  // This setup carries its archive in the solid form, and its decoder.
  tonvane::addArchiveForm(tonvane::solidArchiveForm());
#endif
  const tonvane::SetupOptions options = tonvane::parseSetupOptions(GetCommandLineW());
  // Before the start-up checks, so that a refusal is logged too.
  if (!options.logFile.empty() && tonvane::openSetupLog(options.logFile)) tonvane::logSetupStart(options);
  const int exitCode = static_cast<int>(runSetup(options, showCommand));
  tonvane::setupLog(L"Exit code " + tonvane::decimalText(static_cast<unsigned>(exitCode)));
  tonvane::closeSetupLog();
  return exitCode;
}
