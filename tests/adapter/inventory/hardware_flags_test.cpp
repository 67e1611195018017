// How the flash tool's --info answer is read, and which firmware the check looks at.
#include "adapter/inventory/hardware_flags.h"

#include <gtest/gtest.h>

#include "adapter/inventory/catalog_files.h"
#include "support/fake_flash_tool.h"
#include "support/ui_capture.h"

namespace {

// Captures the substitute tool never writes: the line rules, in their order.
TEST(HardwareFlagsCapture, LineRules) {
  struct Case {
    const char* capture;
    HardwareFlagsState state;
    const char* log;  // the value line logged, "" for none
  } cases[] = {
      {"Port NIC1\n\n   Hardware Flags: set to 0   \nDone\n", HardwareFlagsState::kDisabled,
       "Hardware Flags: set to 0"},
      {"Hardware Flags set to 1, now set to 0\n", HardwareFlagsState::kDisabled,
       "Hardware Flags set to 1, now set to 0"},
      {"Hardware Flags: set to 3\nHardware Flags: set to 0\n", HardwareFlagsState::kActive,
       "Hardware Flags: set to 3"},  // the first deciding line stops the reading
      {"Flags set to 1\nHardware Flags: unknown\nHardware Flags: set to 2",
       HardwareFlagsState::kActive, "Hardware Flags: set to 2"},
      {"Port NIC1\r\nHardware Flags: uninitialized\r\n", HardwareFlagsState::kActive,
       "Hardware Flags: uninitialized"},
      {"Port NIC1\nFirmware 4.0.555\nset to 1\n", HardwareFlagsState::kUnknown, ""},
      {"hardware flags set to 1\n", HardwareFlagsState::kUnknown, ""},  // case counts
      {"", HardwareFlagsState::kUnknown, ""},
  };
  for (const Case& c : cases) {
    test::CapturedUi ui;
    std::string path = ui.dir().File("hwflagStatus.dat");
    test::WriteBytes(path, c.capture);
    EXPECT_EQ(ReadHardwareFlagsCapture(path, ui.ui()), c.state) << c.capture;
    EXPECT_EQ(ui.Log(), *c.log ? "Current value: " + std::string(c.log) + "\n" : "") << c.capture;
  }
  test::CapturedUi ui;
  EXPECT_EQ(ReadHardwareFlagsCapture(ui.dir().File("absent.dat"), ui.ui()),
            HardwareFlagsState::kUnknown);
}

bool AtThreshold(const char* version, bool three_part) {
  AdapterRecord r;
  r.installed_version.Parse(version, three_part);
  return HasHardwareFlagsFirmware(r);
}

// Which ports are queried is tested end to end; a two-part version cannot come from the tool.
TEST(HardwareFlagsFirmware, TwoPartVersionIsNotTheThreshold) {
  EXPECT_TRUE(AtThreshold("4.0.555", true));
  EXPECT_FALSE(AtThreshold("4.0", false));
}

// The check against a fake tool: one port per answer the query can give.
TEST(HardwareFlagsCheck, ResetsOnlyActiveSettingsAndLogsFailures) {
  struct Case {
    std::string info;
    uint32_t info_exit;
    uint32_t reset_exit;
    std::vector<std::string> calls;  // after the discovery
    std::string log;                 // after the port's version line
  } cases[] = {
      {"Hardware Flags: set to 2\n",
       0,
       0,
       {"nxflash.exe -i \"NIC1\" --info", "nxflash.exe -i 4:0.0 --hwflags 0"},
       "Current value: Hardware Flags: set to 2\n\"NIC1\": disabling the iPE/dPE setting "
       "succeeded!\n"},
      {"Hardware Flags: set to 1\n",
       0,
       5,
       {"nxflash.exe -i \"NIC1\" --info", "nxflash.exe -i 4:0.0 --hwflags 0"},
       "Current value: Hardware Flags: set to 1\n\"NIC1\": disabling the iPE/dPE setting "
       "failed!\nnxflash.exe -i 4:0.0 --hwflags 0: error code 5.\n"},
      {"Hardware Flags: set to 0\n",
       0,
       0,
       {"nxflash.exe -i \"NIC1\" --info"},
       "Current value: Hardware Flags: set to 0\niPE/dPE setting is already disabled for "
       "\"NIC1\".\n"},
      {"Hardware Flags: set to 2\n", 3, 0, {"nxflash.exe -i \"NIC1\" --info"}, ""},
  };
  for (const Case& c : cases) {
    test::CapturedUi ui;
    FirmwareCatalog catalog;
    test::TempDir dir;
    test::WriteBytes(dir.File("NICFWData.xml"), test::CatalogText(test::CatalogEntryXml(
                                                    "4040", "0100", "1234", "00AB", "4.0.600")));
    test::FakeFlashTool tool;
    tool.report =
        "<zelt_rom_discovery><type value=\"RAVARE_NIC\"/><devices><device>"
        "<device_id value=\"NIC1\"/><venid value=\"4040\"/><devid value=\"0100\"/>"
        "<subvenid value=\"1234\"/><subdevid value=\"00AB\"/><busnumber value=\"4\"/>"
        "<devicenumber value=\"0\"/><funcnumber value=\"0\"/><fw_item><type value=\"rom\"/>"
        "<active_version value=\"4.0.555\"/></fw_item></device></devices></zelt_rom_discovery>";
    tool.info = c.info;
    tool.info_exit = c.info_exit;
    tool.reset_exit = c.reset_exit;
    test::ScopedCurrentDirectory cwd(dir.path());
    RunHardwareFlagsCheck(tool, &catalog, ui.ui());
    std::vector<std::string> expected{"nxflash.exe -d tempNicList.xml"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(tool.calls, expected);
    const std::string version_line = "\"NIC1\" has firmware version equal to v4.0.555.\n";
    std::string log = ui.Log();
    size_t at = log.find(version_line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.substr(at + version_line.size()),
              c.log + "Finished verification of iPE/dPE setting for the supported NICs.\n");
    // A failed query leaves its capture for the next query to replace.
    EXPECT_EQ(test::Exists(dir.File("hwflagStatus.dat")), c.info_exit != 0);
  }
}

}  // namespace
