// Starting another program (the Windows Installer, a partner installer) and
// waiting for it to end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tonvane {

// Runs `program` with the command line `"program"` followed, unless
// `arguments` is empty, by a blank and `arguments`; waits without a time
// limit and returns the exit code; nothing when the program cannot be
// started or its exit code cannot be read.
//
// A bare name without a folder ("msiexec") is started from the system
// folder, with ".exe" added when it has no extension: the setup usually
// runs from a downloads folder, where a planted program of the same name
// could lie beside it or in the current folder. A program given with a
// folder is started as given.
//
// `workingFolder`, unless empty, is the program's current folder; otherwise
// it inherits the setup's.
std::optional<std::uint32_t> runProgram(const std::wstring& program, const std::wstring& arguments,
                                        const std::wstring& workingFolder = std::wstring());

// runProgram for callers that do not tell the two apart: 0 both for a
// program that ended with 0 and for one that could not be started.
inline std::uint32_t runAndWait(const std::wstring& program, const std::wstring& arguments,
                                const std::wstring& workingFolder = std::wstring()) {
  return runProgram(program, arguments, workingFolder).value_or(0);
}

}  // namespace tonvane
