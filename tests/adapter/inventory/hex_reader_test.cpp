#include "adapter/inventory/hex_reader.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadStrictHex, AcceptsDigitsWithOptionalBlanksSignAndPrefix) {
  EXPECT_EQ(*ReadStrictHex("4040"), 0x4040);
  EXPECT_EQ(*ReadStrictHex("0x4040"), 0x4040);
  EXPECT_EQ(*ReadStrictHex("0X00ab"), 0xAB);
  EXPECT_EQ(*ReadStrictHex("  \tAbC"), 0xABC);
  EXPECT_EQ(*ReadStrictHex("+10"), 0x10);
  EXPECT_EQ(*ReadStrictHex("-1"), -1);
  EXPECT_EQ(*ReadStrictHex("-0x10"), -16);
  EXPECT_EQ(*ReadStrictHex("0"), 0);
  EXPECT_EQ(*ReadStrictHex("000000000000000000001"), 1);
}

TEST(ReadStrictHex, RefusesIncompleteOrCorruptText) {
  for (const char* bad :
       {"", " ", "40G0", "4040 ", "0x", "0xg", "x10", "- 1", "--1", "1-", "0x0x1", "4040\n"}) {
    EXPECT_TRUE(ReadStrictHex(bad).error().code == HexError::kNotHex) << '"' << bad << '"';
  }
  EXPECT_TRUE(ReadStrictHex(nullptr).error().code == HexError::kNotHex);
}

TEST(ReadStrictHex, RefusesTheLimitsAndBeyond) {
  EXPECT_EQ(*ReadStrictHex("7FFFFFFE"), 0x7FFFFFFE);
  EXPECT_EQ(*ReadStrictHex("-7FFFFFFF"), -0x7FFFFFFF);
  for (const char* bad : {"7FFFFFFF", "-80000000", "80000000", "FFFFFFFF", "-80000001",
                          "123456789ABCDEF0123456789"}) {
    EXPECT_TRUE(ReadStrictHex(bad).error().code == HexError::kOutOfRange) << bad;
  }
}

}  // namespace
