#include <gtest/gtest.h>

#include "NumberText.h"

using namespace tonvane;

// The forms the program writes: install dates, folder and file names,
// counts, the fault report's fields.
TEST(NumberText, DigitsPaddedToTheWidthButNeverCut) {
  EXPECT_EQ(decimalText(0), L"0");
  EXPECT_EQ(decimalText(7, 2), L"07");
  EXPECT_EQ(decimalText(2026, 4), L"2026");
  EXPECT_EQ(decimalText(123456, 2), L"123456");
  EXPECT_EQ(decimalText(4321, 8), L"00004321");
  EXPECT_EQ(decimalText(18446744073709551615ull), L"18446744073709551615");

  EXPECT_EQ(hexText(0), L"0");
  EXPECT_EQ(hexText(0xbeef, 8), L"0000beef");
  EXPECT_EQ(hexText(0xC0000005u, 8, true), L"C0000005");
  EXPECT_EQ(hexText(0xffffffffffffffffull), L"ffffffffffffffff");
  EXPECT_EQ(hexText(0x1a2b, 2, true), L"1A2B");
}

// Sizes in messages: a need rounds up and free space down, so that a need
// just above the free space never shows as the same number.
TEST(NumberText, SizesInKilobytesMegabytesAndGigabytes) {
  const struct {
    unsigned long long bytes;
    const wchar_t* up;
    const wchar_t* down;
  } cases[] = {
      {0, L"0 KB", L"0 KB"},
      {1, L"1 KB", L"0 KB"},
      {16 * 1024, L"16 KB", L"16 KB"},
      {1024 * 1024 - 1, L"1024 KB", L"1023 KB"},
      {1024 * 1024, L"1.0 MB", L"1.0 MB"},
      {1024 * 1024 + 1, L"1.1 MB", L"1.0 MB"},
      {1468006, L"1.4 MB", L"1.3 MB"},  // 1.39999 MB
      {1024ull * 1024 * 1024 - 1, L"1024.0 MB", L"1023.9 MB"},
      {5ull * 1024 * 1024 * 1024 / 2, L"2.5 GB", L"2.5 GB"},
      {18446744073709551615ull, L"17179869184.0 GB", L"17179869183.9 GB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(byteSizeText(c.bytes, true), c.up) << c.bytes;
    EXPECT_EQ(byteSizeText(c.bytes, false), c.down) << c.bytes;
  }
}
