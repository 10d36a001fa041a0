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
