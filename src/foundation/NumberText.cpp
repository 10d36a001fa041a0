#include "NumberText.h"

namespace tonvane {

namespace {

std::wstring digitsOf(unsigned long long value, unsigned base, std::size_t width, const wchar_t* digits) {
  // 64 binary digits at most, in any base of ours.
  wchar_t reversed[64];
  std::size_t count = 0;
  do {
    reversed[count++] = digits[value % base];
    value /= base;
  } while (value != 0);
  std::wstring text(width > count ? width - count : 0, L'0');
  while (count > 0) text += reversed[--count];
  return text;
}

}  // namespace

std::wstring decimalText(unsigned long long value, std::size_t width) {
  return digitsOf(value, 10, width, L"0123456789");
}

std::wstring hexText(unsigned long long value, std::size_t width, bool upperCase) {
  return digitsOf(value, 16, width, upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef");
}

std::wstring byteSizeText(unsigned long long bytes, bool roundUp) {
  constexpr unsigned long long kKilobyte = 1024, kMegabyte = kKilobyte * 1024, kGigabyte = kMegabyte * 1024;
  if (bytes < kMegabyte) {
    const unsigned long long kilobytes = bytes / kKilobyte + (roundUp && bytes % kKilobyte != 0 ? 1 : 0);
    return decimalText(kilobytes) + L" KB";
  }
  const unsigned long long unit = bytes < kGigabyte ? kMegabyte : kGigabyte;
  // In tenths of the unit, without a product that could overflow: the
  // remainder is below the unit, so ten of it fit.
  const unsigned long long remainder = bytes % unit;
  unsigned long long tenths = bytes / unit * 10 + remainder * 10 / unit;
  if (roundUp && remainder * 10 % unit != 0) ++tenths;
  return decimalText(tenths / 10) + L"." + decimalText(tenths % 10) + (unit == kMegabyte ? L" MB" : L" GB");
}

}  // namespace tonvane
