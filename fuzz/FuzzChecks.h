// Checks shared by the fuzz targets. They restate the path rules from
// scratch instead of calling the helpers under test, so that a wrong answer
// shows as a disagreement; any violation aborts, which libFuzzer reports
// with the input that caused it.
#pragma once

#include <string>

namespace tonvane::fuzz {

// Prints `what` and the offending text (escaped) to stderr, then aborts.
[[noreturn]] void fail(const char* what, const std::wstring& text);

inline void require(bool condition, const char* what, const std::wstring& text) {
  if (!condition) fail(what, text);
}

// A step Windows would resolve to a parent folder: dots and blanks only,
// with at least two dots (trailing dots and blanks are dropped).
bool stepClimbs(const std::wstring& step);

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and superscript 1-3), any letter case,
// whatever follows a first dot, with trailing blanks dropped.
bool stepNamesDevice(const std::wstring& step);

// A control character or one of < > : " / \ | ? *.
bool stepHasForbiddenCharacter(const std::wstring& step);

// What safeEntryPath must answer for `name`, worked out independently.
std::wstring expectedEntryPath(const std::wstring& name);

// Checks safeEntryPath(name) against expectedEntryPath and, when it accepts
// the name, that the result is safe on its own terms and lies inside an
// install folder once joined to it.
void checkEntryPath(const std::wstring& name);

}  // namespace tonvane::fuzz
