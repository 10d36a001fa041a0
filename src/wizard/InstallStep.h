// The wizard's side of the install job: what the job needs, taken from the
// setup state.
#pragma once

#include "SetupState.h"

namespace tonvane {

// Dispatches the messages already queued (so the Progress page is painted),
// then runs the install job (InstallJob.h) with the state's choices, its
// staging folder, the Progress page's bar and the frame as owner of the
// failure message. True when the install went through.
//
// The staging folder is read under the state's lock: an offer worker that
// has begun staging holds it until it is done, so the job never sees a
// half-set value and its archive does not share the folder with a staging
// run that is still writing.
bool runInstallJob(SetupState& state);

}  // namespace tonvane
