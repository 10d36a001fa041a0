// Entry point of the setup program. The wizard is not wired in yet: after
// the start-up checks the program ends with exit code 0, which is what the
// finished setup returns when its wizard cannot be created.
#include <windows.h>

#include "StartupChecks.h"
#include "TranslationTable.h"
#include "WorkerThread.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The worker guard's reports speak through the program's translator.
  tonvane::setReportTranslator(&tonvane::translateText);
  if (const auto refused = tonvane::checkStart()) return *refused;
  tonvane::releaseInstance();
  return 0;
}
