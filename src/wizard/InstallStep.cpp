#include "InstallStep.h"

#include <commctrl.h>

#include <cstdlib>
#include <ctime>

#include "FaultTranslator.h"
#include "InstallJob.h"
#include "MessageLoop.h"
#include "ResourceIds.h"
#include "ScopedHandles.h"
#include "SetupMessage.h"
#include "TranslationTable.h"

namespace tonvane {

namespace {

// The pauses let the user see the bar move even when a step is quick.
void pause() { Sleep(30 + static_cast<DWORD>(std::rand() % 30)); }

// What the job's thread needs, and what it leaves for the wizard's thread,
// which reads it only after the job's thread has ended.
struct JobRun {
  InstallChoices choices;
  HWND progressBar = nullptr;
  const volatile LONG* cancel = nullptr;
  InstallResult result = InstallResult::Failed;
};

DWORD WINAPI runJob(void* parameter) {
  JobRun& run = *static_cast<JobRun*>(parameter);
  // The C runtime's random state belongs to each thread.
  std::srand(static_cast<unsigned>(_time64(nullptr)));
  HWND bar = run.progressBar;
  const auto showPosition = [bar](int position) {
    if (position > 0) pause();
    // Sent, so that the bar shows each position while the job stands at it;
    // the wizard's thread answers sent messages for as long as it waits.
    if (bar != nullptr) SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (position == 100) pause();
  };
  // The links are made on this thread.
  const ComInitialization com;
  try {
    FaultTranslatorScope faultsAsExceptions;
    run.result = runInstallJob(run.choices, showPosition, run.cancel);
  } catch (...) {
    // A fault inside the job is a failed install, told to the user as one,
    // not the end of the setup.
    run.result = InstallResult::Failed;
  }
  return 0;
}

// Keeps the wizard's window answering (painting, moving, the bar's
// positions) until the job's thread ends. The user's commands reach the
// wizard, which ignores the ones that would end it while `installing` is set.
void pumpUntilEnded(HANDLE thread) {
  PumpState pump;
  bool pumping = true;
  for (;;) {
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, pumping ? QS_ALLINPUT : QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return;
    if (woke == WAIT_FAILED) {
      WaitForSingleObject(thread, INFINITE);
      return;
    }
    // False once the quit message is met (it is left for the main loop) or
    // when the thread has no loop of its own. From then on only the job's
    // sent messages are answered, which a look at the queue does, or the job
    // would wait for this thread while it waits for the job.
    if (pumping) pumping = pumpPendingMessages(pump);
    if (!pumping) {
      MSG sent;
      PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

}  // namespace

InstallResult runInstallJob(SetupState& state) {
  PumpState pump;
  pumpPendingMessages(pump);

  // An offer worker that is still staging holds the offers' lock until it
  // is done. The job waits for it: it removes what killed runs left of
  // their staging folders, and the worker's new folder must not meet that
  // in the moment between its making and its hold.
  { ScopedLock staged(state.offers.lock); }

  JobRun run;
  run.choices = state.installChoices();
  HWND page = state.pages[Progress].window;
  run.progressBar = page != nullptr ? GetDlgItem(page, IDC_PROGRESS_BAR) : nullptr;
  state.cancelInstall = 0;
  run.cancel = &state.cancelInstall;

  state.installing = true;
  KernelHandle thread(CreateThread(nullptr, 0, runJob, &run, 0, nullptr));
  if (thread.valid()) {
    pumpUntilEnded(thread.get());
  } else {
    // No thread to be had: the job runs here, and the window waits for it.
    runJob(&run);
  }
  state.installing = false;

  // A cancelled install was asked for: the user hears of no failure.
  if (run.result == InstallResult::Failed)
    showSetupMessage(state.frameWindow, translateText(L"Failed to install."), MB_OK);
  return run.result;
}

}  // namespace tonvane
