// Numbers as text, for names, dates and reports. The C library's formatted
// printing would do the same, but the runtime's C99 version of it brings
// its floating-point conversion along (some 25 KB) into a program that
// never prints a fraction. Pure text: no system headers.
#pragma once

#include <cstddef>
#include <string>

namespace tonvane {

// The decimal digits of `value`, with leading zeros up to `width` digits.
std::wstring decimalText(unsigned long long value, std::size_t width = 0);

// The hexadecimal digits of `value` (A to F when `upperCase`), with leading
// zeros up to `width` digits.
std::wstring hexText(unsigned long long value, std::size_t width = 0, bool upperCase = false);

// A size as a file manager shows it, 1024 bytes to the kilobyte: whole
// kilobytes below a megabyte ("512 KB"), else megabytes or gigabytes with
// one decimal ("1.4 MB", "12.5 GB"). A need is shown with `roundUp` and a
// free space without, so that a need larger than the free space never reads
// as the same number or a smaller one.
std::wstring byteSizeText(unsigned long long bytes, bool roundUp);

}  // namespace tonvane
