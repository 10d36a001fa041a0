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

}  // namespace tonvane
