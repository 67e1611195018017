#include "adapter/inventory/firmware_version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FirmwareVersion Parsed(const char* text, bool three_part = true) {
  FirmwareVersion v;
  v.Parse(text, three_part);
  return v;
}

// The text Parse leaves behind, read before any copy could empty it.
std::string Text(const char* text) {
  FirmwareVersion v;
  v.Parse(text, true);
  return v.text();
}

TEST(FirmwareVersionParse, ReadsWhatFollowsTheLastMarker) {
  EXPECT_EQ(Text("4.0.555"), "4.0.555");
  EXPECT_EQ(Text("v4.0.534"), "4.0.534");
  EXPECT_EQ(Text("rev 5.v4.0.534"), "4.0.534");  // the last v counts
  EXPECT_EQ(Text("NCSI1.2.3"), "1.2.3");
  EXPECT_EQ(Text("ncsi1.2.3"), "0.2.3");  // only "NCSI" is skipped: "si1" reads 0
  EXPECT_EQ(Text("Version 4.0.555 build"), "4.0.555");
  EXPECT_EQ(Text("Version   7.1.2"), "7.1.2");  // blanks after the first word
}

TEST(FirmwareVersionParse, OnlyLowerCaseMarkersAndTheFirstBlankDropText) {
  // Upper-case V and C are not markers: the token "V4" reads no digits.
  FirmwareVersion v = Parsed("V4.0.1");
  EXPECT_EQ(v.major(), 0u);
  EXPECT_EQ(v.minor(), 0u);
  EXPECT_EQ(v.build(), 1u);
}

TEST(FirmwareVersionParse, DotRunsAndMissingTokens) {
  FirmwareVersion v(9, 9, 9);
  v.Parse("4..555", true);
  EXPECT_EQ(v.major(), 4u);
  EXPECT_EQ(v.minor(), 555u);
  EXPECT_EQ(v.build(), 9u);  // no third token: kept

  FirmwareVersion leading(1, 2, 3);
  leading.Parse("..7", true);
  EXPECT_STREQ(leading.text(), "7.2.3");

  FirmwareVersion two;
  two.Parse("4.0", true);
  EXPECT_TRUE(two.three_part());
  EXPECT_STREQ(two.text(), "4.0.0");
}

TEST(FirmwareVersionParse, TwoPartRequestLeavesBuildAlone) {
  FirmwareVersion v(1, 2, 3);
  v.Parse("4.5.6", false);
  EXPECT_FALSE(v.three_part());
  EXPECT_EQ(v.build(), 3u);
  EXPECT_STREQ(v.text(), "4.5");
}

TEST(FirmwareVersionParse, TextWithoutNumbersKeepsPreviousValues) {
  FirmwareVersion v;
  v.Parse("3.1", false);
  v.Parse("abc", true);  // cursor ends past the c: no token at all
  EXPECT_EQ(v.major(), 3u);
  EXPECT_EQ(v.minor(), 1u);
  EXPECT_TRUE(v.three_part());
  EXPECT_STREQ(v.text(), "3.1.0");
}

TEST(FirmwareVersionParse, EmptyTextChangesNothing) {
  FirmwareVersion v(1, 2, 3);
  v.Parse("", false);
  v.Parse(nullptr, false);
  EXPECT_TRUE(v.three_part());
  EXPECT_STREQ(v.text(), "");
}

TEST(FirmwareVersionParse, SignedTokensKeepTheirBitPattern) {
  FirmwareVersion v;
  v.Parse(" -1. +2. 99999999999", true);
  EXPECT_EQ(v.major(), 4294967295u);
  EXPECT_EQ(v.minor(), 2u);
  EXPECT_EQ(v.build(), 2147483647u);  // clamped like a 32-bit conversion
  EXPECT_STREQ(v.text(), "-1.2.2147483647");
  EXPECT_EQ(Text("2147483648.0.0"), "2147483647.0.0");
  EXPECT_EQ(Text("-2147483648.4294967295"), "-2147483648.2147483647.0");
}

TEST(FirmwareVersionParse, LongTextIsCutTo255Characters) {
  // 252 characters of prefix, then "1.23": only "1.2" survives the cut.
  std::string text = std::string(251, 'x') + "v1.23";
  FirmwareVersion v;
  v.Parse(text.c_str(), true);
  EXPECT_EQ(v.major(), 1u);
  EXPECT_EQ(v.minor(), 2u);

  std::string huge(100000, '9');
  v.Parse(huge.c_str(), true);
  EXPECT_EQ(v.major(), 2147483647u);
}

TEST(FirmwareVersionCompare, BuildCountsOnlyForThreePartLeftOperand) {
  FirmwareVersion two_part;
  two_part.Parse("4.0", false);
  FirmwareVersion threshold = DependencyThresholdVersion;
  EXPECT_EQ(two_part.Compare(threshold), 0);
  EXPECT_EQ(threshold.Compare(two_part), 1);
  EXPECT_TRUE(two_part == threshold);
  EXPECT_TRUE(threshold != two_part);
}

TEST(FirmwareVersionCompare, PartByPartAsShown) {
  EXPECT_EQ(Parsed("4.0.555").Compare(Parsed("4.0.534")), 1);
  EXPECT_EQ(Parsed("3.9.999").Compare(Parsed("4.0.0")), -1);
  EXPECT_EQ(Parsed("4.1.0").Compare(Parsed("4.0.999")), 1);
  // Negative parts compare as they are shown, never as their unsigned bit patterns.
  EXPECT_EQ(Parsed("-1.0.0").Compare(Parsed("5.0.0")), -1);
  EXPECT_EQ(Parsed("4.0.700").Compare(Parsed("4.0.-1")), 1);
  EXPECT_TRUE(Parsed("4.0.534") < DependencyThresholdVersion);
  EXPECT_TRUE(Parsed("4.0.555") <= DependencyThresholdVersion);
  EXPECT_FALSE(Parsed("4.0.556") <= DependencyThresholdVersion);
}

TEST(FirmwareVersionAssign, EqualTargetIsLeftUntouched) {
  FirmwareVersion cleared;
  cleared = FirmwareVersion(0, 0, 7);  // 0.0 equals 0.0.7 seen from the two-part side
  EXPECT_FALSE(cleared.three_part());
  EXPECT_EQ(cleared.build(), 0u);

  FirmwareVersion target;
  target.Parse("4.0.555", true);
  target = DependencyThresholdVersion;
  EXPECT_STREQ(target.text(), "4.0.555");  // equal: not even the text is emptied
}

TEST(FirmwareVersionAssign, CopyingEmptiesTheText) {
  FirmwareVersion target;
  target.Parse("4.0.534", true);
  target = Parsed("4.0.556");
  EXPECT_STREQ(target.text(), "");
  EXPECT_EQ(target.build(), 556u);
  EXPECT_STREQ(target.Format(), "4.0.556");

  FirmwareVersion source;
  source.Parse("1.2.3", true);
  FirmwareVersion copy(source);
  EXPECT_STREQ(copy.text(), "");
  EXPECT_STREQ(copy.Format(), "1.2.3");
}

}  // namespace
