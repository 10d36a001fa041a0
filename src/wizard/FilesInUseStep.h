// Before the install changes anything: the programs that hold files it
// must replace are named and, when the user agrees, asked to close.
#pragma once

#include "SetupState.h"

namespace tonvane {

// True when nothing holds a file the install writes (any more); false when
// the user chose Cancel, and the setup ends with nothing changed.
bool freeFilesInUse(SetupState& state);

}  // namespace tonvane
