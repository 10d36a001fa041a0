// The wizard's side of the install job: what the job needs, taken from the
// setup state, and what the user sees of it: the Progress page's bar and the
// failure message.
#pragma once

#include "InstallJob.h"
#include "SetupState.h"

namespace tonvane {

// Dispatches the messages already queued (so the Progress page is painted),
// then runs the install job (InstallJob.h) with the state's choices, once
// the offer worker's staging is over. The Progress page's bar shows each
// position the job reaches, after a short pause (30 to 60 ms) for every
// position but 0 and one more after 100, so that the user sees it move. Cancel, while the job
// runs, sets the state's cancelInstall, which stops and undoes it. A failed
// install ends after the message "Failed to install." (OK only), owned by
// the frame, has been closed; a cancelled one shows nothing.
InstallResult runInstallJob(SetupState& state);

}  // namespace tonvane
