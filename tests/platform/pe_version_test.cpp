#include "platform/pe_version.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/files.h"
#include "support/pe_fixture.h"

namespace {

TEST(PeVersion, ReadsTheFixedProductVersion) {
  Expected<platform::PeFixedVersion, platform::PeVersionError> v =
      platform::ParsePeFixedVersion(test::MakeVersionedPe(4, 3, 13, 701));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->product_most, (4u << 16) | 3u);
  EXPECT_EQ(v->product_least, (13u << 16) | 701u);
}

TEST(PeVersion, RefusesWhatIsNoVersionedImage) {
  std::string image = test::MakeVersionedPe(1, 2, 3, 4);
  EXPECT_FALSE(platform::ParsePeFixedVersion(""));
  EXPECT_FALSE(platform::ParsePeFixedVersion(std::string(4096, 'x')));
  EXPECT_FALSE(platform::ParsePeFixedVersion(image.substr(0, 0x180)));  // cut short
  std::string unsigned_info = image;
  unsigned_info[0x200 + 88 + 40] = 0;  // spoil the fixed information's signature
  EXPECT_FALSE(platform::ParsePeFixedVersion(unsigned_info));
}

// The host's own reader (the Windows version API under Wine) agrees with the portable one.
TEST(PeVersion, HostReadsTheSameVersionFromAFile) {
  test::TempDir dir;
  test::WriteBytes(dir.File("driver.sys"), test::MakeVersionedPe(4, 0, 554, 65535));
  std::optional<platform::ProductVersion> version =
      platform::FileProductVersion(dir.File("driver.sys"));
  ASSERT_TRUE(version);
  EXPECT_EQ(version->most, 4u << 16);
  EXPECT_EQ(version->least, (554u << 16) | 65535u);
  EXPECT_FALSE(platform::FileProductVersion(dir.File("missing.sys")));
}

}  // namespace
