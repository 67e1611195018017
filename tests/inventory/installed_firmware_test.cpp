// The -c table, the version-only report and the -ql check, over an inventory filled directly.
#include "inventory/installed_firmware.h"

#include <gtest/gtest.h>

#include "app/program.h"
#include "app/run_flags.h"
#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
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
  r.flags = AdapterRecord::kSupported;
  return r;
}

const char kHeader[] = "MAC                  B:D.F     PCI-ID                  NIC\n";
const char kColumns[] =
    "\n"
    "   (Installed)            (Available)     Interface               WOL       PXE       "
    "NCSI\n"
    "Image     Version      Image     Version   \n"
    "-----------------------------------------------------------------------------------------"
    "------------\n";

class InstalledFirmwareTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDiscovery(); }
  void TearDown() override { ResetDiscovery(); }

  // Adds the ports and marks discovery done, so that no flash tool is run.
  void Discovered(const std::vector<AdapterRecord>& ports) {
    for (const AdapterRecord& p : ports) AddAdapter(p);
    MarkDiscoveryCompleted();
  }

  test::CapturedUi ui_;
};

TEST_F(InstalledFirmwareTest, TwoPortsGiveTwoCompleteBlocksInInventoryOrder) {
  AdapterRecord second = Port("NIC2", "4:0.1");
  second.macaddress = "00:0E:1E:00:00:02";
  Discovered({Port("NIC1", "4:0.0"), second});

  EXPECT_EQ(ShowInstalledFirmware(), 0);
  std::string expected = std::string(kHeader) +
                         "00:0E:1E:00:00:01    4:0.0     4040-0100-1234-00AB     P3 Dual Port "
                         "10GbE Server Adapter\n" +
                         kColumns +
                         "ROM       4.0.534      ROM       4.0.556  NIC1     n/a       n/a       "
                         "n/a\n\n" +
                         kHeader +
                         "00:0E:1E:00:00:02    4:0.1     4040-0100-1234-00AB     P3 Dual Port "
                         "10GbE Server Adapter\n" +
                         kColumns +
                         "ROM       4.0.534      ROM       4.0.556  NIC2     n/a       n/a       "
                         "n/a\n\n";
  EXPECT_EQ(ui_.Console(), expected);
  EXPECT_EQ(ui_.Log(), expected);
}

TEST_F(InstalledFirmwareTest, StatusColumnsNameEachValue) {
  AdapterRecord a = Port("NIC1", "4:0.0");
  a.wol = 1;
  a.pxe = 2;
  a.ncsi = 5;
  AdapterRecord b = Port("NIC2", "4:0.1");
  b.wol = -1;
  Discovered({a, b});
  ShowInstalledFirmware();
  std::string text = ui_.Console();
  EXPECT_NE(text.find("  NIC1     ON       NS       ERROR: Unexpected value!\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("  NIC2     ERROR: Unexpected value!       n/a       n/a\n"),
            std::string::npos)
      << text;
}

TEST_F(InstalledFirmwareTest, AdapterDataIsPrintedAsTextNotAsFormat) {
  AdapterRecord a = Port("NIC%d", "4:0.0");
  a.product_id = "P3 100% %s%n Adapter";
  Discovered({a});
  EXPECT_EQ(ShowInstalledFirmware(), 0);
  std::string text = ui_.Console();
  EXPECT_NE(text.find("     P3 100% %s%n Adapter\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  NIC%d     n/a"), std::string::npos) << text;
}

TEST_F(InstalledFirmwareTest, UnparsedInstalledVersionShowsAsZero) {
  AdapterRecord a = Port("NIC1", "4:0.0");
  a.installed_version.Clear();
  Discovered({a});
  ShowInstalledFirmware();
  EXPECT_NE(ui_.Console().find("ROM       0.0      ROM       4.0.556  NIC1"), std::string::npos);
}

TEST_F(InstalledFirmwareTest, UnsupportedRecordIsLeftOut) {
  AdapterRecord a = Port("NIC1", "4:0.0");
  a.flags = AdapterRecord::kSelected;
  Discovered({a, Port("NIC2", "4:0.1")});
  EXPECT_EQ(ShowInstalledFirmware(), 0);
  std::string text = ui_.Console();
  EXPECT_EQ(text.find("NIC1"), std::string::npos);
  EXPECT_NE(text.find("NIC2"), std::string::npos);
}

TEST_F(InstalledFirmwareTest, NoSupportedPortShowsNothing) {
  MarkDiscoveryCompleted();
  EXPECT_EQ(ShowInstalledFirmware(), 2);
  EXPECT_EQ(ui_.Console(), "");
}

class VersionOnlyFileTest : public InstalledFirmwareTest {
 protected:
  std::string ReportPath() const { return ui_.dir().File("version.xml"); }
  std::string ExpectedTree(const std::string& current, const std::string& package,
                           const std::string& takes_effect) const {
    return "<zelt_rom_discovery version=\"" + GetOwnFileVersion() +
           "\">\n"
           "\t<type value=\"RAVARE_NIC\"/>\n"
           "\t<alt_name value=\"" +
           kProgramTitle +
           "\"/>\n"
           "\t<current_version value=\"" +
           current +
           "\"/>\n"
           "\t<package_version value=\"" +
           package +
           "\"/>\n"
           "\t<takes_effect value=\"" +
           takes_effect +
           "\"/>\n"
           "</zelt_rom_discovery>\n";
  }
};

TEST_F(VersionOnlyFileTest, SavesTheFileAndLogsItsText) {
  SetReportFileName(ReportPath());
  WriteVersionOnlyReport("4.0.534", "4.0.556", "reboot");
  std::string tree = ExpectedTree("4.0.534", "4.0.556", "reboot");
  EXPECT_EQ(test::ReadBytes(ReportPath()),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + tree);
  EXPECT_EQ(ui_.Log(), "Created an XML file with only FW version information!\n" + tree + "\n");
  EXPECT_EQ(ui_.Console(), "");
}

TEST_F(VersionOnlyFileTest, MissingTextsGiveEmptyValuesAndEscapedData) {
  SetReportFileName(ReportPath());
  WriteVersionOnlyReport("4.0 \"beta\" & <x>", "", "");
  EXPECT_NE(test::ReadBytes(ReportPath())
                .find(ExpectedTree("4.0 &quot;beta&quot; &amp; &lt;x&gt;", "", "")),
            std::string::npos);
}

TEST_F(VersionOnlyFileTest, UnwritableFileStillLogsTheText) {
  SetReportFileName(ui_.dir().File("no-such-dir/version.xml"));
  WriteVersionOnlyReport("4.0.534", "4.0.556", "");
  EXPECT_EQ(ui_.Log(), "Created an XML file with only FW version information!\n" +
                           ExpectedTree("4.0.534", "4.0.556", "") + "\n");
}

TEST_F(VersionOnlyFileTest, ReportWithoutTakesEffectGivesAnEmptyValue) {
  std::string report = ui_.dir().File("report.xml");
  test::WriteBytes(report,
                   "<zelt_rom_discovery version=\"1.0\"><type value=\"RAVARE_NIC\"/>"
                   "<devices/></zelt_rom_discovery>");
  RunFlags::Set(RunFlags::VersionOnlyReport);
  SetReportFileName(ReportPath());
  ReadDiscoveryReport(report);
  EXPECT_NE(test::ReadBytes(ReportPath()).find("\t<takes_effect value=\"\"/>\n"),
            std::string::npos);
}

TEST_F(InstalledFirmwareTest, VersionOnlyCheckTellsWhetherTheFileExists) {
  Discovered({Port("NIC1", "4:0.0")});
  std::string path = ui_.dir().File("version.xml");
  SetReportFileName(path);
  EXPECT_EQ(CheckVersionOnlyReport(), 1);
  test::WriteBytes(path, "x");
  EXPECT_EQ(CheckVersionOnlyReport(), 0);
  EXPECT_EQ(ui_.Console(), "Failed to create file " + path +
                               " with only firmware version details!\n"
                               "Created file " +
                               path + " with only firmware version details.\n");
}

TEST_F(InstalledFirmwareTest, VersionOnlyCheckWithoutPortsGivesFour) {
  MarkDiscoveryCompleted();
  EXPECT_EQ(CheckVersionOnlyReport(), 4);
  EXPECT_EQ(ui_.Console(), "No supported network adapters for firmware upgrade.\n");
}

}  // namespace
