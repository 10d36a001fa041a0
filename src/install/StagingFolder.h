// A private folder under the user's temporary folder where payloads are
// staged before they are extracted or started. An elevated setup later
// starts programs from it, so another program of the same user must not be
// able to prepare it in advance: its eight-digit name comes from the
// system's cryptographic generator, a name that already exists is never
// used, and an elevated setup makes it with an access list of its own
// (SYSTEM and the Administrators only, nothing inherited). A folder that
// turns out to be a junction or another reparse point is refused.
#pragma once

#include <string>

namespace tonvane {

// Creates "<temp>\NNNNNNNN\" and returns it with its trailing backslash;
// "" when no folder could be created.
std::wstring createStagingFolder();

}  // namespace tonvane
