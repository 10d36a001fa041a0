// Conversions between UTF-16 text and the byte texts of files and resources.
//
// Files are read and written in the calling thread's ANSI code page
// (CP_THREAD_ACP); no byte-order mark is ever written or recognised, so a
// mark in a file is decoded like any other bytes.
#pragma once

#include <cstddef>
#include <string>

namespace tonvane {

// Exactly `count` bytes in the given code page; an empty run gives "".
std::wstring decodeCodePageText(const void* bytes, std::size_t count, unsigned codePage);

// Shift-JIS, the code page of the texts the setup carries (the translation
// tables, the partners' terms): read as such on every system, since the
// thread's own code page would make mojibake of them anywhere but in Japan.
constexpr unsigned kShiftJisCodePage = 932;
inline std::wstring decodeShiftJisText(const void* bytes, std::size_t count) {
  return decodeCodePageText(bytes, count, kShiftJisCodePage);
}

// Exactly `count` bytes in the calling thread's ANSI code page.
std::wstring decodeAnsiText(const void* bytes, std::size_t count);

// The text in the calling thread's ANSI code page, up to its first zero byte.
// Characters without an exact mapping become the code page's default
// character (no best-fit look-alikes).
// A conversion failure other than a short buffer ends in raiseFailure.
std::string encodeAnsiText(const std::wstring& text);

}  // namespace tonvane
