#include "InstallStep.h"

#include "InstallJob.h"
#include "MessageLoop.h"
#include "ResourceIds.h"

namespace tonvane {

bool runInstallJob(SetupState& state) {
  PumpState pump;
  pumpPendingMessages(pump);

  std::wstring stagingFolder;
  {
    ScopedLock hold(state.lock);
    stagingFolder = state.stagingFolder;
  }
  HWND page = state.pages[Progress].window;
  HWND progressBar = page != nullptr ? GetDlgItem(page, IDC_PROGRESS_BAR) : nullptr;
  return runInstallJob(state.installChoices(), stagingFolder, progressBar, state.frameWindow);
}

}  // namespace tonvane
