// The -c table and the version-only report, over an inventory filled directly.
#include "adapter/inventory/installed_firmware.h"

#include <gtest/gtest.h>

#include "support/ui_capture.h"

namespace {

AdapterRecord Port(const std::string& device_id, const std::string& bdf) {
  AdapterRecord r;
  r.device_id = device_id;
  r.bdf = bdf;
  r.pci_id = "4040-0100-1234-00AB";
  r.macaddress = "00:0E:1E:00:00:01";
  r.product_id = "P3 Dual Port 10GbE Server Adapter";
  r.installed_version.Parse("4.0.534", true);
  r.available_version = FirmwareVersion(4, 0, 556);
  return r;
}

class InstalledFirmwareTest : public ::testing::Test {
 protected:
  test::CapturedUi ui_;
};

// The whole two-port table is compared with a golden file end to end.
TEST_F(InstalledFirmwareTest, UnknownVersionsShowZero) {
  AdapterRecord a = Port("NIC1", "4:0.0");
  AdapterRecord b = Port("NIC2", "4:0.1");
  b.installed_version.Clear();
  std::string text = InstalledFirmwareTable({a, b});
  EXPECT_NE(text.find("  NIC1     n/a       n/a       n/a\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ROM       0.0      ROM       4.0.556  NIC2     n/a       n/a       n/a\n"),
            std::string::npos)
      << text;
}

TEST_F(InstalledFirmwareTest, AdapterDataIsPrintedAsTextNotAsFormat) {
  AdapterRecord a = Port("NIC%d", "4:0.0");
  a.product_id = "P3 100% %s%n Adapter";
  std::string text = InstalledFirmwareTable({a});
  EXPECT_NE(text.find("     P3 100% %s%n Adapter\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  NIC%d     n/a"), std::string::npos) << text;
}

// The whole file is compared with a golden file end to end; these cover odd inputs.
class VersionOnlyFileTest : public InstalledFirmwareTest {
 protected:
  std::string ReportPath() const { return ui_.dir().File("version.xml"); }
};

TEST_F(VersionOnlyFileTest, DataIsEscapedAndMissingTextsGiveEmptyValues) {
  EXPECT_TRUE(WriteVersionOnlyReport(ReportPath(), {"4.0 \"beta\" & <x>", "", ""}, ui_.ui()).ok());
  std::string text = test::ReadBytes(ReportPath());
  EXPECT_NE(text.find("\t<current_version value=\"4.0 &quot;beta&quot; &amp; &lt;x&gt;\"/>\n"
                      "\t<package_version value=\"\"/>\n"
                      "\t<takes_effect value=\"\"/>\n"),
            std::string::npos)
      << text;
}

// A file that cannot be opened, and one that takes no bytes (where the host has such a device).
TEST_F(VersionOnlyFileTest, UnwritableFileStillLogsTheTextAndThenTheFailure) {
  for (const std::string& path :
       {ui_.dir().File("no-such-dir/version.xml"), std::string("/dev/full")}) {
    if (!test::Exists(path) && path == "/dev/full") continue;
    test::CapturedUi capture;
    EXPECT_FALSE(WriteVersionOnlyReport(path, {"4.0.534", "4.0.556", ""}, capture.ui()).ok());
    const std::string log = capture.Log();
    EXPECT_EQ(log.rfind("Created an XML file with only FW version information!\n"
                        "<zelt_rom_discovery version=",
                        0),
              0u)
        << log;
    const std::string failed = "Error: the version-only report " + path + " cannot be written.\n";
    EXPECT_EQ(log.size() - log.rfind(failed), failed.size()) << log;
  }
}

}  // namespace
