#include "adapter/env/dependencies.h"

#include <gtest/gtest.h>

#include "support/ui_capture.h"

namespace {

// Verdicts on a driver file are tested end to end, where the utility reads a fixture driver
// from its system directory.
class DependencyTest : public ::testing::Test {
 protected:
  void AddPort(const char* installed, const char* available) {
    AdapterRecord r;
    r.installed_version.Parse(installed, true);
    r.available_version.Parse(available, true);
    inventory_.push_back(r);
  }
  bool Verify() { return VerifyDependencies(inventory_, capture_.ui()); }

  AdapterInventory inventory_;
  test::CapturedUi capture_;
};

TEST_F(DependencyTest, NoAdaptersCannotBeVerified) {
  EXPECT_FALSE(Verify());
  EXPECT_EQ(capture_.Log(),
            "VerifyDependencies: No supported network adapters for firmware upgrade.\n");
}

TEST_F(DependencyTest, PortsAtTheThresholdPassWithoutTheDriver) {
  AddPort("4.0.555", "4.0.600");
  AddPort("4.0.600", "4.0.600");
  EXPECT_TRUE(Verify());
  EXPECT_EQ(capture_.Log(),
            "All VAroru P3 adapters have firmware version above or equal to v4.0.555.\n");
}

TEST_F(DependencyTest, OldPackageNeedsNoDriverCheck) {
  AddPort("4.0.534", "4.0.516");
  AddPort("4.0.534", "4.0.600");  // only the first port's package version counts
  EXPECT_TRUE(Verify());
  EXPECT_EQ(capture_.Log(), "Firmware version in this package: 4.0.516\n");
}

TEST_F(DependencyTest, UnreadInstalledVersionCountsAsBelow) {
  AddPort("", "4.0.516");
  EXPECT_TRUE(Verify());
  EXPECT_EQ(capture_.Log(), "Firmware version in this package: 4.0.516\n");
}

TEST(DriverLimit, ComparesPartByPart) {
  test::CapturedUi capture;
  auto allowed = [&](const char* driver, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return DriverVersionAllowed(driver, a << 16 | b, c << 16 | d, capture.ui());
  };
  EXPECT_TRUE(allowed("qlxgnd32.sys", 4, 3, 13, 701));
  EXPECT_FALSE(allowed("qlxgnd32.sys", 4, 3, 13, 702));
  EXPECT_FALSE(allowed("qlxgnd32.sys", 4, 3, 14, 0));
  EXPECT_TRUE(allowed("qlxgnd32.sys", 4, 2, 99, 9999));
  EXPECT_TRUE(allowed("zeltnd5x86.sys", 4, 0, 554, 65535));
  EXPECT_FALSE(allowed("zeltnd5x86.sys", 4, 0, 555, 0));
  EXPECT_NE(capture.Log().find("Device driver qlxgnd32.sys must be version less than 4.3.13.702 "),
            std::string::npos);
}

}  // namespace
