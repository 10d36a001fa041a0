#include "FilesInUseStep.h"

#include "InstallJob.h"
#include "ProgramsInUse.h"
#include "SetupLog.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

namespace tonvane {

bool freeFilesInUse(SetupState& state) {
  const std::vector<std::wstring> files = filesTheInstallWrites(state.installChoices());
  bool offerToClose = true;
  for (;;) {
    const FilesInUse inUse = findFilesInUse(state.installFolder, files);
    if (inUse.empty()) return true;
    const std::wstring names = filesInUseText(inUse);
    setupLog(L"In use:\r\n" + names);
    if (!inUse.programs.empty() && offerToClose) {
      const std::wstring question = translateText(L"These programs are using files that the setup must replace:") +
                                    L"\r\n\r\n" + names + L"\r\n\r\n" +
                                    translateText(L"Do you want the setup to close them?");
      offerToClose = false;
      if (showSetupMessage(state.frameWindow, question, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        setupLog(L"Asking the programs to close");
        // The frame takes no clicks meanwhile; it still paints.
        EnableWindow(state.frameWindow, FALSE);
        const bool closed = askProgramsToClose(inUse.programs, kProgramClosingTime);
        EnableWindow(state.frameWindow, TRUE);
        setupLog(closed ? L"The programs closed" : L"Not every program closed");
        continue;
      }
    }
    const std::wstring warning =
        translateText(L"These programs or files are still in use:") + L"\r\n\r\n" + names + L"\r\n\r\n" +
        translateText(L"Close them, then choose Retry. Cancel ends the setup without changes.");
    if (showSetupMessage(state.frameWindow, warning, MB_RETRYCANCEL | MB_ICONWARNING) == IDCANCEL) {
      setupLog(L"Cancelled: files in use, nothing changed");
      return false;
    }
    offerToClose = true;
  }
}

}  // namespace tonvane
