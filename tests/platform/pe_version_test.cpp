#include "platform/pe_version.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/files.h"
#include "support/pe_fixture.h"

namespace {

TEST(PeVersion, ReadsTheFixedProductVersion) {
  platform::PeFixedVersion v;
  ASSERT_TRUE(platform::ParsePeFixedVersion(test::MakeVersionedPe(4, 3, 13, 701), &v));
  EXPECT_EQ(v.product_most, (4u << 16) | 3u);
  EXPECT_EQ(v.product_least, (13u << 16) | 701u);
}

TEST(PeVersion, RefusesWhatIsNoVersionedImage) {
  platform::PeFixedVersion v;
  std::string image = test::MakeVersionedPe(1, 2, 3, 4);
  EXPECT_FALSE(platform::ParsePeFixedVersion("", &v));
  EXPECT_FALSE(platform::ParsePeFixedVersion(std::string(4096, 'x'), &v));
  EXPECT_FALSE(platform::ParsePeFixedVersion(image.substr(0, 0x180), &v));  // cut short
  std::string unsigned_info = image;
  unsigned_info[0x200 + 88 + 40] = 0;  // spoil the fixed information's signature
  EXPECT_FALSE(platform::ParsePeFixedVersion(unsigned_info, &v));
}

// The host's own reader (the Windows version API under Wine) agrees with the portable one.
TEST(PeVersion, HostReadsTheSameVersionFromAFile) {
  test::TempDir dir;
  test::WriteBytes(dir.File("driver.sys"), test::MakeVersionedPe(4, 0, 554, 65535));
  uint32_t most = 0;
  uint32_t least = 0;
  ASSERT_TRUE(platform::FileProductVersion(dir.File("driver.sys"), &most, &least));
  EXPECT_EQ(most, 4u << 16);
  EXPECT_EQ(least, (554u << 16) | 65535u);
  EXPECT_FALSE(platform::FileProductVersion(dir.File("missing.sys"), &most, &least));
}

}  // namespace
