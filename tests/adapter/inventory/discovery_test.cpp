// Reading discovery reports into the inventory, over reports written by the tests.
#include "adapter/inventory/discovery.h"

#include <gtest/gtest.h>

#include <iterator>

#include "adapter/inventory/catalog_files.h"
#include "support/fake_flash_tool.h"
#include "support/ui_capture.h"

namespace {

const char kUnsupported[] = " is not identified as a supported VAroru P3 NIC.\n";

std::string Element(const std::string& name, const std::string& value) {
  return "<" + name + " value=\"" + value + "\"/>";
}

std::string FwItem(const std::string& type, const std::string& active = "4.0.534",
                   const std::string& extra = "") {
  return "<fw_item>" + Element("type", type) + Element("firmware_id", "P3ROM") +
         Element("active_version", active) + Element("version", "4.0.556") + extra + "</fw_item>";
}

// A port of the catalog's one model unless the IDs say otherwise.
std::string Device(const std::string& id, const std::string& devid = "0100",
                   const std::string& fw_item = FwItem("rom"), const std::string& bus = "4") {
  return "<device>" + Element("device_id", id) + Element("venid", "4040") +
         Element("devid", devid) + Element("subvenid", "1234") + Element("subdevid", "00AB") +
         Element("macaddress", "00:0E:1E:00:00:01") + Element("product_id", "P3 Adapter") +
         Element("busnumber", bus) + Element("devicenumber", "0") +
         Element("funcnumber", id.substr(id.find_first_of("0123456789"), 1)) +
         Element("slotnumber", "2") + Element("nictype", "P3") + fw_item + "</device>";
}

std::string Report(const std::string& devices, const std::string& type = "RAVARE_NIC",
                   const std::string& after = "") {
  return "<?xml version=\"1.0\"?>\n<zelt_rom_discovery version=\"2.0\">" + Element("type", type) +
         Element("version", "1") + Element("takes_effect", "reboot") + "<devices>" + devices +
         "</devices>" + after + "</zelt_rom_discovery>\n";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ReadReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadCatalogFrom(
        dir_, test::CatalogText(test::CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.556")),
        &catalog_, ui_.ui());
  }

  // 0 when a supported port was read, as the tool's callers count it.
  int32_t Read(const std::string& report) {
    test::WriteBytes(path_, report);
    report_ = ReadDiscoveryReport(path_, catalog_, ui_.ui());
    return report_.found_supported ? 0 : 1;
  }
  size_t Ports() const { return report_.ports.size(); }
  const AdapterRecord& Port(size_t i) const { return report_.ports.at(i); }

  FirmwareCatalog catalog_;
  DiscoveryReport report_;
  test::CapturedUi ui_;
  test::TempDir dir_;
  std::string path_ = dir_.File("report.xml");
};

TEST_F(ReadReportTest, KeepsASupportedPortWithEveryField) {
  std::string extra = Element("action", "  skip  ") + Element("shared", "no") +
                      Element("duration", "30") + Element("message", "Flash it");
  ASSERT_EQ(Read(Report(Device("  NIC1 ", "0x100", FwItem("ROM", "4.0.534", extra)))), 0);
  ASSERT_EQ(Ports(), 1u);
  ASSERT_EQ(Ports(), 1u);
  const AdapterRecord& r = Port(0);
  EXPECT_EQ(r.device_id, "NIC1");
  EXPECT_EQ(r.bdf, "4:0.1");
  EXPECT_EQ(r.pci_id, "4040-0100-1234-00AB");
  EXPECT_EQ(r.macaddress, "00:0E:1E:00:00:01");
  EXPECT_EQ(r.product_id, "P3 Adapter");
  EXPECT_EQ(r.active_version, "4.0.534");
  EXPECT_EQ(r.installed_version.Compare(FirmwareVersion(4, 0, 534)), 0);
  EXPECT_EQ(r.available_version.Compare(FirmwareVersion(4, 0, 556)), 0);
  EXPECT_TRUE(r.available_version.three_part());
  EXPECT_EQ(r.action, "skip");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(ReadReportTest, KeepsEveryPortInReportOrderAndSkipsUnsupportedOnes) {
  std::string not_shared = FwItem("rom", "4.0.534", Element("shared", "NO"));
  ASSERT_EQ(
      Read(Report(Device("NIC1") + Device("NIC9", "0200") + Device("NIC2", "0100", not_shared))),
      0);
  ASSERT_EQ(Ports(), 2u);
  EXPECT_EQ(Port(0).device_id, "NIC1");
  EXPECT_EQ(Port(1).device_id, "NIC2");
  EXPECT_EQ(ui_.Log(), std::string("NIC with PCI ID 4040-0200-1234-00AB") + kUnsupported);

  EXPECT_EQ(Read(Report(Device("NIC9", "0200"))), 1);  // only unsupported ports: a failure
  EXPECT_EQ(Ports(), 0u);
  EXPECT_EQ(Read(Report("")), 1);
}

TEST_F(ReadReportTest, BadHexIdsWarnByFieldAndReadAsZero) {
  std::string device = "<device>" + Element("device_id", "NIC1") + Element("venid", "40G0") +
                       "<devid/>" + Element("subvenid", "1234 ") + Element("subdevid", "-1") +
                       "</device>";
  EXPECT_EQ(Read(Report(device)), 1);
  EXPECT_EQ(ui_.Log(),
            "Warning!!! - Invalid/Corrupted vendor ID (XML tag: venid) value.\n"
            "Warning!!! - Invalid/Corrupted device ID (XML tag: devid) value.\n"
            "Warning!!! - Invalid/Corrupted sub-vendor ID (XML tag: subvenid) value.\n"
            "NIC with PCI ID 0000-0000-0000-FFFFFFFF" +
                std::string(kUnsupported));

  ui_.ui().Write("--\n");
  device = "<device>" + Element("subdevid", "7FFFFFFF") + "</device>";
  EXPECT_EQ(Read(Report(device)), 1);
  EXPECT_TRUE(Contains(ui_.Log(),
                       "--\nWarning!!! - Invalid/Corrupted sub-device ID (XML tag: "
                       "subdevid) value.\n"));
}

TEST_F(ReadReportTest, RefusesAReportOfAnotherType) {
  EXPECT_EQ(Read(Report(Device("NIC1"), "VARORU_NIC")), 1);
  EXPECT_EQ(Ports(), 0u);
  EXPECT_EQ(Read(Report(Device("NIC1"), "rAvArE_NiC")), 1);
  EXPECT_EQ(Ports(), 0u);
  EXPECT_EQ(ui_.Log(),
            "This VRIT tool can only be used to update P3-series VAroru NICs.\n"
            "Unexpected value 'rAvArE_NiC' in file " +
                path_ + ". Expected 'RAVARE_NIC'.\n");
}

TEST_F(ReadReportTest, RefusedTypeAfterTheDevicesYieldsNoPorts) {
  std::string report = "<zelt_rom_discovery><devices>" + Device("NIC1") + "</devices>" +
                       Element("type", "VARORU_NIC") + "</zelt_rom_discovery>";
  EXPECT_EQ(Read(report), 1);
  EXPECT_EQ(Ports(), 0u);

  // Reading stops at a firmware item of another type before it reaches the type: the report
  // is refused all the same, and the log says why after the firmware warning.
  ui_.ui().Write("--\n");
  report = "<zelt_rom_discovery><devices>" + Device("NIC1") +
           Device("NIC2", "0100", FwItem("nvram")) + "</devices>" + Element("type", "OTHER") +
           "</zelt_rom_discovery>";
  EXPECT_EQ(Read(report), 1);
  EXPECT_EQ(Ports(), 0u);
  EXPECT_FALSE(report_.read_to_end);
  EXPECT_TRUE(Contains(ui_.Log(),
                       "--\nWarning!!! - firmware type is not expected!. Expected type is ROM, "
                       "current value is nvram\nUnexpected value 'OTHER' in file " +
                           path_ + ". Expected 'RAVARE_NIC'.\n"))
      << ui_.Log();
}

TEST_F(ReadReportTest, APortListedTwiceIsKeptOnce) {
  ASSERT_EQ(Read(Report(Device("NIC1") + Device("NIC1") + Device("NIC2"))), 0);
  ASSERT_EQ(Ports(), 2u);
  EXPECT_EQ(Port(1).device_id, "NIC2");
  EXPECT_EQ(ui_.Log(),
            "Warning!!! - Port 4:0.1 (device NIC1) is listed more than once in the report; only "
            "its first listing is used.\n");
}

// Bus, device and function are hexadecimal numbers however they are spelled: XML white space
// at the ends, one '+', a 0x prefix, letter case and leading zeros do not count. A part that
// is no number keeps its port out. The port keeps the text the report gave it.
TEST_F(ReadReportTest, APortIsItsNumbers) {
  const std::string fw = FwItem("rom");
  const char* same4[] = {" 4",     "&#9;004 ", "&#10;4", "&#13;4", "4&#10;",
                         "&#11;4", "&#12;4",   "+4",     "0x4",    "+0X04"};
  const char* same_a[] = {"0a", "0A", "0xa"};
  const char* bad[] = {"-0", "4z", "1.5", "", "0x", "+", "++4", "4 4"};
  std::string devices = Device("NIC1", "0100", fw, "04") + Device("NIC2", "0100", fw, "a");
  for (const char* bus : same4) devices += Device("NIC1", "0100", fw, bus);
  for (const char* bus : same_a) devices += Device("NIC2", "0100", fw, bus);
  for (const char* bus : bad) devices += Device("NIC3", "0100", fw, bus);
  ASSERT_EQ(Read(Report(devices)), 0);
  ASSERT_EQ(Ports(), 2u);
  EXPECT_EQ(Port(0).bdf, "04:0.1");
  EXPECT_EQ(Port(1).bdf, "a:0.2");
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = ui_.Log().find(text); at != std::string::npos;
         at = ui_.Log().find(text, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count(") is listed more than once in the report"), std::size(same4) + std::size(same_a))
      << ui_.Log();
  EXPECT_EQ(count(" (device NIC3) has a bus, device or function number that is not a "
                  "hexadecimal number; it is not supported.\n"),
            std::size(bad))
      << ui_.Log();
  EXPECT_TRUE(Contains(ui_.Log(), "Port \n4:0.1 (device NIC1) is listed more than once"));
}

TEST_F(ReadReportTest, FirmwareOfAnotherTypeStopsTheReading) {
  const std::string warning =
      "Warning!!! - firmware type is not expected!. Expected type is ROM, current value is "
      "nvram\n";
  EXPECT_EQ(Read(Report(Device("NIC1") + Device("NIC2", "0100", FwItem("nvram")) + Device("NIC3"))),
            0);
  ASSERT_EQ(Ports(), 1u);
  EXPECT_EQ(Port(0).device_id, "NIC1");
  EXPECT_EQ(ui_.Log(), warning);

  EXPECT_EQ(Read(Report(Device("NIC2", "0100", FwItem("nvram")) + Device("NIC3"))), 1);
  EXPECT_EQ(Ports(), 0u);
}

TEST_F(ReadReportTest, UnloadableReportsLogTheirCode) {
  EXPECT_FALSE(ReadDiscoveryReport(dir_.File("absent.xml"), catalog_, ui_.ui()).found_supported);
  EXPECT_EQ(Read("<other/>"), 1);
  EXPECT_EQ(ui_.Log(), "Loading configuration file " + dir_.File("absent.xml") +
                           " failed. Error code: 10.\n"
                           "Loading configuration file " +
                           path_ + " failed. Error code: 11.\n");
}

TEST_F(ReadReportTest, MissingElementsLeaveAFreshRecord) {
  // The second port names no fw_item, the third no numbers either: nothing of the first carries
  // over, so the third has no address and is left out.
  std::string ids = Element("venid", "4040") + Element("devid", "100") +
                    Element("subvenid", "1234") + Element("subdevid", "AB");
  std::string numbered = "<device>" + Element("device_id", "NIC2") + ids +
                         Element("busnumber", "5") + Element("devicenumber", "0") +
                         Element("funcnumber", "0") + "</device>";
  std::string bare = "<device>" + Element("device_id", "NIC3") + ids + "</device>";
  ASSERT_EQ(Read(Report(Device("NIC1") + numbered + bare)), 0);
  ASSERT_EQ(Ports(), 2u);
  const AdapterRecord& r = Port(1);
  EXPECT_EQ(r.bdf, "5:0.0");
  EXPECT_EQ(r.active_version, "");
  EXPECT_EQ(r.installed_version.Compare(FirmwareVersion()), 0);
  EXPECT_EQ(r.macaddress, "");
  EXPECT_TRUE(Contains(ui_.Log(),
                       "Port :. (device NIC3) has a bus, device or function number "
                       "that is not a hexadecimal number"))
      << ui_.Log();
}

TEST_F(ReadReportTest, SummaryCarriesTheLastVersionsReadAndTheTakesEffectText) {
  ASSERT_EQ(Read(Report(Device("NIC1") + Device("NIC9", "0200", FwItem("rom", "4.0.999")))), 0);
  EXPECT_TRUE(report_.read_to_end);
  EXPECT_EQ(report_.summary.current_version, "4.0.999");  // the unsupported port read last
  EXPECT_EQ(report_.summary.package_version, "4.0.556");
  EXPECT_EQ(report_.summary.takes_effect, "reboot");

  Read(Report(Device("NIC1") + Device("NIC2", "0100", FwItem("nvram"))));
  EXPECT_FALSE(report_.read_to_end);
  Read(Report(Device("NIC1"), "VARORU_NIC"));
  EXPECT_FALSE(report_.read_to_end);
}

// Discovery through a fake tool, from the catalog's directory.
class DiscoverTest : public ReadReportTest {
 protected:
  Discovery Discover() {
    test::ScopedCurrentDirectory cwd(dir_.path());
    ui_.ui().Write("--\n");
    return DiscoverAdapters(tool_, &catalog_, ui_.ui(), &observer_);
  }
  std::string LogSinceLastRun() const {
    std::string log = ui_.Log();
    return log.substr(log.rfind("--\n") + 3);
  }

  struct Observer : ReportObserver {
    void ReportRead(const VersionSummary& s) override { seen.push_back(s.current_version); }
    std::vector<std::string> seen;
  };

  test::FakeFlashTool tool_;
  Observer observer_;
};

TEST_F(DiscoverTest, ReadsTheToolsReportAndDeletesIt) {
  tool_.report = Report(Device("NIC1") + Device("NIC2"));
  Discovery found = Discover();
  EXPECT_EQ(found.end, DiscoveryEnd::kFound);
  EXPECT_EQ(found.call.exit_code, 0u);
  ASSERT_EQ(found.ports.size(), 2u);
  EXPECT_EQ(found.ports[1].device_id, "NIC2");
  EXPECT_EQ(tool_.calls, std::vector<std::string>{"nxflash.exe -d tempNicList.xml"});
  EXPECT_FALSE(test::Exists(dir_.File("tempNicList.xml")));
  EXPECT_EQ(observer_.seen, std::vector<std::string>{"4.0.534"});
  EXPECT_EQ(LogSinceLastRun(),
            "Started device discovery!\nDevice discovery completed successfully!\n");
}

TEST_F(DiscoverTest, FailuresAreLoggedWithTheToolsCode) {
  struct Case {
    std::vector<std::string> missing;
    std::string report;
    uint32_t exit;
    size_t ports;
    std::string log;
  } cases[] = {
      {{"tempNicList.xml"},
       "",
       0,
       0,
       "Could not generate discovery file.\nDevice discovery failed with error code 0\n"},
      {{}, Report(Device("NIC1")), 7, 0, "Device discovery failed with error code 7\n"},
      {{},
       Report(Device("NIC9", "0200")),
       0,
       0,
       "NIC with PCI ID 4040-0200-1234-00AB" + std::string(kUnsupported) +
           "Device discovery failed with error code 0\n"},
      {{},
       Report(Device("NIC1"), "VARORU_NIC"),
       0,
       0,
       "This VRIT tool can only be used to update P3-series VAroru NICs.\n"
       "Device discovery failed with error code 0\n"},
  };
  for (const Case& c : cases) {
    tool_.missing_reports = c.missing;
    tool_.report = c.report;
    tool_.discover_exit = c.exit;
    Discovery found = Discover();
    EXPECT_NE(found.end, DiscoveryEnd::kFound) << c.log;
    EXPECT_EQ(found.call.exit_code, c.exit);
    EXPECT_EQ(found.ports.size(), c.ports) << c.log;
    EXPECT_EQ(LogSinceLastRun(), "Started device discovery!\n" + c.log);
    EXPECT_FALSE(test::Exists(dir_.File("tempNicList.xml")));
  }
}

}  // namespace
