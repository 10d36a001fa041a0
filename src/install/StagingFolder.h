// A private folder under the user's temporary folder where payloads are
// staged before they are extracted or started. An elevated setup later
// starts programs from it, so another program of the same user must not be
// able to prepare it in advance: its eight-digit name comes from the
// system's cryptographic generator, and a name that already exists is never
// used.
#pragma once

#include <string>

namespace tonvane {

// Creates "<temp>\NNNNNNNN\" and returns it with its trailing backslash;
// "" when no folder could be created.
std::wstring createStagingFolder();

}  // namespace tonvane
