#include "env/dependencies.h"

#include <gtest/gtest.h>

#include "inventory/adapter_inventory.h"
#include "platform/platform.h"
#include "support/pe_fixture.h"
#include "support/process.h"
#include "support/ui_capture.h"

namespace {

// An inventory whose discovery counts as done, and a driver file in the system directory.
class DependencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDiscovery();
    ResetDependencyCheck();
    MarkDiscoveryCompleted();
    // On Linux the system directory lives below SYSTEMDRIVE; under Wine it is the private
    // prefix's own system32, where the driver files are removed again afterwards.
    const char* drive = std::getenv("SYSTEMDRIVE");
    saved_drive_ = drive ? drive : "";
    test::SetEnvironment("SYSTEMDRIVE", drive_.path());
    platform::MakeDirectory(drive_.File("windows"));
    platform::MakeDirectory(test::Join(drive_.File("windows"), "system32"));
  }
  void TearDown() override {
    platform::RemoveFile(DriverPath());
    ResetDiscovery();
    ResetDependencyCheck();
    test::SetEnvironment("SYSTEMDRIVE", saved_drive_);
  }

  static std::string DriverPath() { return test::Join(platform::SystemDirectory(), "zeltnd5x86.sys"); }
  void InstallDriver(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    test::WriteBytes(DriverPath(), test::MakeVersionedPe(a, b, c, d));
  }
  void AddPort(const char* installed, const char* available) {
    AdapterRecord r;
    r.installed_version.Parse(installed, true);
    r.available_version.Parse(available, true);
    r.flags = AdapterRecord::kSupported;
    AddAdapter(r);
  }

  test::CapturedUi capture_;
  test::TempDir drive_;
  std::string saved_drive_;
};

TEST_F(DependencyTest, NoAdaptersCannotBeVerified) {
  EXPECT_EQ(VerifyDependencies(), 2);
  EXPECT_FALSE(DependenciesVerified());
  EXPECT_EQ(capture_.Log(),
            "VerifyDependencies: No supported network adapters for firmware upgrade.\n");
}

TEST_F(DependencyTest, PortsAtTheThresholdPassWithoutTheDriver) {
  AddPort("4.0.555", "4.0.600");
  AddPort("4.0.600", "4.0.600");
  EXPECT_EQ(VerifyDependencies(), 0);
  EXPECT_TRUE(DependenciesVerified());
  EXPECT_EQ(capture_.Log(),
            "All VAroru P3 adapters have firmware version above or equal to v4.0.555.\n");
}

TEST_F(DependencyTest, OldPackageNeedsNoDriverCheck) {
  AddPort("4.0.534", "4.0.516");
  AddPort("4.0.534", "4.0.600");  // only the first port's package version counts
  EXPECT_EQ(VerifyDependencies(), 0);
  EXPECT_EQ(capture_.Log(), "Firmware version in this package: 4.0.516\n");
}

TEST_F(DependencyTest, UnreadInstalledVersionCountsAsBelow) {
  AddPort("", "4.0.516");
  EXPECT_EQ(VerifyDependencies(), 0);
  EXPECT_EQ(capture_.Log(), "Firmware version in this package: 4.0.516\n");
}

TEST_F(DependencyTest, MissingDriverIsReportedAndCheckedAgainLater) {
  if (platform::IsNt52OrLater()) GTEST_SKIP() << "host reports NT 5.2";
  AddPort("4.0.534", "4.0.600");
  EXPECT_EQ(VerifyDependencies(), 2);
  EXPECT_FALSE(DependenciesVerified());
  EXPECT_NE(capture_.Log().find("Could not get device driver (zeltnd5x86.sys) version details. "
                                "Please make sure that device driver is properly installed!\n"),
            std::string::npos);
  InstallDriver(4, 0, 554, 65535);
  EXPECT_EQ(VerifyDependencies(), 0);
  EXPECT_TRUE(DependenciesVerified());
}

TEST_F(DependencyTest, DriverMustBeBelowItsLimit) {
  if (platform::IsNt52OrLater()) GTEST_SKIP() << "host reports NT 5.2";
  AddPort("4.0.534", "4.0.600");
  InstallDriver(4, 0, 555, 0);
  EXPECT_EQ(VerifyDependencies(), 2);
  EXPECT_TRUE(DependenciesVerified());
  EXPECT_EQ(capture_.Log(),
            "At least one VAroru P3 adapter has a firmware version less than v4.0.555.  Will "
            "verify whether the current device driver version is allowed for this update.\n"
            "Assessing device driver zeltnd5x86.sys\n"
            "Installed device driver version: 4.0.555.0.\n"
            "Device driver zeltnd5x86.sys must be version less than 4.0.555.0 in order to "
            "complete firmware update. The driver can be updated after the system is rebooted.\n");
}

TEST(DriverLimit, ComparesPartByPart) {
  test::CapturedUi capture;
  auto allowed = [](const char* driver, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return DriverVersionAllowed(driver, a << 16 | b, c << 16 | d);
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
