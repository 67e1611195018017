// How the flash tool's --info answer is read, and which firmware the check looks at.
#include "inventory/hardware_flags.h"

#include <gtest/gtest.h>

#include "inventory/adapter_inventory.h"
#include "support/ui_capture.h"

namespace {

class HardwareFlagsCaptureTest : public ::testing::Test {
 protected:
  HardwareFlagsState Read(const std::string& capture) {
    std::string path = ui_.dir().File("hwflagStatus.dat");
    test::WriteBytes(path, capture);
    return ReadHardwareFlagsCapture(path);
  }

  test::CapturedUi ui_;
};

TEST_F(HardwareFlagsCaptureTest, SetToZeroIsDisabled) {
  EXPECT_EQ(Read("Port NIC1\n\n   Hardware Flags: set to 0   \nDone\n"), kHardwareFlagsDisabled);
  EXPECT_EQ(ui_.Log(), "Current value: Hardware Flags: set to 0\n");
}

TEST_F(HardwareFlagsCaptureTest, EveryActiveValueNeedsAReset) {
  for (const char* value : {"set to 1", "set to 2", "set to 3", "uninitialized"})
    EXPECT_EQ(Read(std::string("Hardware Flags ") + value + "\n"), kHardwareFlagsActive) << value;
}

TEST_F(HardwareFlagsCaptureTest, SetToZeroWinsOnAMixedLine) {
  EXPECT_EQ(Read("Hardware Flags set to 1, now set to 0\n"), kHardwareFlagsDisabled);
}

TEST_F(HardwareFlagsCaptureTest, FirstDecidingLineStopsTheReading) {
  EXPECT_EQ(Read("Hardware Flags: set to 3\nHardware Flags: set to 0\n"), kHardwareFlagsActive);
  EXPECT_EQ(ui_.Log(), "Current value: Hardware Flags: set to 3\n");
}

TEST_F(HardwareFlagsCaptureTest, LinesWithoutBothPartsAreSkipped) {
  EXPECT_EQ(Read("Flags set to 1\nHardware Flags: unknown\nHardware Flags: set to 2"),
            kHardwareFlagsActive);
  EXPECT_EQ(ui_.Log(), "Current value: Hardware Flags: set to 2\n");
}

TEST_F(HardwareFlagsCaptureTest, NoHardwareFlagsLineIsUndetermined) {
  EXPECT_EQ(Read("Port NIC1\nFirmware 4.0.555\nset to 1\n"), kHardwareFlagsUnknown);
  EXPECT_EQ(Read("hardware flags set to 1\n"), kHardwareFlagsUnknown);  // case counts
  EXPECT_EQ(Read(""), kHardwareFlagsUnknown);
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(HardwareFlagsCaptureTest, CarriageReturnsStayOutOfTheLog) {
  EXPECT_EQ(Read("Port NIC1\r\nHardware Flags: set to 1\r\n"), kHardwareFlagsActive);
  EXPECT_EQ(ui_.Log(), "Current value: Hardware Flags: set to 1\n");
}

TEST_F(HardwareFlagsCaptureTest, MissingCaptureIsUndetermined) {
  EXPECT_EQ(ReadHardwareFlagsCapture(ui_.dir().File("absent.dat")), kHardwareFlagsUnknown);
}

class HardwareFlagsFirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDiscovery(); }
  void TearDown() override { ResetDiscovery(); }

  bool AtThreshold(const char* version, bool three_part) {
    AdapterRecord r;
    r.installed_version.Parse(version, three_part);
    AddAdapter(r);
    return HasHardwareFlagsFirmware(AdapterListLength() - 1);
  }
};

TEST_F(HardwareFlagsFirmwareTest, OnlyExactly4_0_555Counts) {
  EXPECT_TRUE(AtThreshold("4.0.555", true));
  EXPECT_FALSE(AtThreshold("4.0.534", true));
  EXPECT_FALSE(AtThreshold("4.0.600", true));
  EXPECT_FALSE(AtThreshold("", true));
}

TEST_F(HardwareFlagsFirmwareTest, BuildNumberCountsForATwoPartVersion) {
  EXPECT_FALSE(AtThreshold("4.0", false));
}

}  // namespace
