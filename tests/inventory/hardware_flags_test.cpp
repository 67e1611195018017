// How the flash tool's --info answer is read, and which firmware the check looks at.
#include "inventory/hardware_flags.h"

#include <gtest/gtest.h>

#include "inventory/adapter_inventory.h"
#include "support/ui_capture.h"

namespace {

// Captures the substitute tool never writes: the line rules, in their order.
TEST(HardwareFlagsCapture, LineRules) {
  struct Case {
    const char* capture;
    HardwareFlagsState state;
    const char* log;  // the value line logged, "" for none
  } cases[] = {
      {"Port NIC1\n\n   Hardware Flags: set to 0   \nDone\n", kHardwareFlagsDisabled,
       "Hardware Flags: set to 0"},
      {"Hardware Flags set to 1, now set to 0\n", kHardwareFlagsDisabled,
       "Hardware Flags set to 1, now set to 0"},
      {"Hardware Flags: set to 3\nHardware Flags: set to 0\n", kHardwareFlagsActive,
       "Hardware Flags: set to 3"},  // the first deciding line stops the reading
      {"Flags set to 1\nHardware Flags: unknown\nHardware Flags: set to 2", kHardwareFlagsActive,
       "Hardware Flags: set to 2"},
      {"Port NIC1\r\nHardware Flags: uninitialized\r\n", kHardwareFlagsActive,
       "Hardware Flags: uninitialized"},
      {"Port NIC1\nFirmware 4.0.555\nset to 1\n", kHardwareFlagsUnknown, ""},
      {"hardware flags set to 1\n", kHardwareFlagsUnknown, ""},  // case counts
      {"", kHardwareFlagsUnknown, ""},
  };
  for (const Case& c : cases) {
    test::CapturedUi ui;
    std::string path = ui.dir().File("hwflagStatus.dat");
    test::WriteBytes(path, c.capture);
    EXPECT_EQ(ReadHardwareFlagsCapture(path), c.state) << c.capture;
    EXPECT_EQ(ui.Log(), *c.log ? "Current value: " + std::string(c.log) + "\n" : "") << c.capture;
  }
  test::CapturedUi ui;
  EXPECT_EQ(ReadHardwareFlagsCapture(ui.dir().File("absent.dat")), kHardwareFlagsUnknown);
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

// Which ports are queried is tested end to end; a two-part version cannot come from the tool.
TEST_F(HardwareFlagsFirmwareTest, TwoPartVersionIsNotTheThreshold) {
  EXPECT_TRUE(AtThreshold("4.0.555", true));
  EXPECT_FALSE(AtThreshold("4.0", false));
}

}  // namespace
