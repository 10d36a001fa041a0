#include "InstallStep.h"

#include <commctrl.h>

#include <cstdlib>
#include <ctime>

#include "InstallJob.h"
#include "MessageLoop.h"
#include "ResourceIds.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

// The pauses let the user see the bar move even when a step is quick.
void pause() { Sleep(30 + static_cast<DWORD>(std::rand() % 30)); }

}  // namespace

bool runInstallJob(SetupState& state) {
  PumpState pump;
  pumpPendingMessages(pump);

  std::wstring stagingFolder;
  {
    ScopedLock hold(state.offers.lock);
    stagingFolder = state.offers.stagingFolder;
  }
  HWND page = state.pages[Progress].window;
  HWND progressBar = page != nullptr ? GetDlgItem(page, IDC_PROGRESS_BAR) : nullptr;

  std::srand(static_cast<unsigned>(_time64(nullptr)));
  const auto showPosition = [progressBar](int position) {
    if (position > 0) pause();
    if (progressBar != nullptr) SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (position == 100) pause();
  };
  if (runInstallJob(state.installChoices(), stagingFolder, showPosition)) return true;
  showSetupMessage(state.frameWindow, translateText(L"Failed to install."), MB_OK);
  return false;
}

}  // namespace tonvane
