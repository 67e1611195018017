// Discovery through the substitute flash tool: what reaches the inventory, the log and the
// tool, driven by discovery_driver in a temporary package directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimFaults;
using test::SimPort;

const char kStarted[] = "Started device discovery!\nnxflash.exe -d tempNicList.xml\n";
const char kCompleted[] = "Device discovery completed successfully!\n";
const char kCommandLine[] = "nxflash.exe -d tempNicList.xml";
// The sample catalog's one model carries 4.0.600; SimPort's default is that model at 4.0.534.
const char kNic1[] =
    "port NIC1|4:0.0|4040-0100-1234-00AB|00:0E:1E:00:00:01|P3 Dual Port 10GbE Server "
    "Adapter|4.0.534|4.0.600||1\n";

SimPort Port(const std::string& id, const std::string& bus) {
  SimPort port;
  port.device_id = id;
  port.bus = bus;
  return port;
}

std::string NotSupported(const std::string& pci_id) {
  return "NIC with PCI ID " + pci_id + " is not identified as a supported VAroru P3 NIC.\n";
}

std::string Failed(int code) {
  return "Device discovery failed with error code " + std::to_string(code) + "\n";
}

class DiscoveryTest : public test::PackageTest {
 protected:
  std::string PackageDir() const {
    std::string dir = PackageFile("");
    dir.pop_back();
    return dir;
  }

  void Simulate(const std::vector<SimPort>& ports, const SimFaults& faults = {}) {
    test::WriteSimConfig(PackageDir(), ports, faults);
  }

  // The driver's output; its log is DriverLog().
  std::string Drive(const std::vector<std::string>& steps, bool beside_tool = true) {
    std::string driver = DriverName();
    std::string path = test::Join(test::BinaryDir(), driver);
    if (!beside_tool) {
      std::string copy = PackageFile(driver);
      std::filesystem::copy_file(path, copy);
      path = copy;
    }
    std::vector<std::string> argv{path, log_.File("driver.log")};
    argv.insert(argv.end(), steps.begin(), steps.end());
    test::ProcessResult r = test::RunProcess(argv, PackageDir());
    EXPECT_EQ(r.exit_code, 0);
    return r.output;
  }

  std::string DriverLog() const { return test::ReadText(log_.File("driver.log")); }
  std::vector<std::string> Calls() const { return test::ReadCallLog(PackageDir()); }
  bool ReportLeftBehind() const { return test::Exists(PackageFile("tempNicList.xml")); }

 private:
  static std::string DriverName() {
    return platform::PathSeparator() == '\\' ? "discovery_driver.exe" : "discovery_driver";
  }

  test::TempDir log_;
};

TEST_F(DiscoveryTest, KeepsSupportedPortsInReportOrder) {
  SimPort other = Port("NIC2", "4");
  other.function = "1";
  other.devid = "0200";
  SimPort prefixed = Port("NIC3", "5");
  prefixed.venid = "0x4040";
  prefixed.subdevid = "0XAB";
  prefixed.action = "  skip ";
  Simulate({Port("NIC1", "4"), other, prefixed});

  EXPECT_EQ(Drive({"discover"}),
            std::string("discover 0 completed=1 count=2\n") + kNic1 +
                "port NIC3|5:0.0|4040-0100-1234-00AB|00:0E:1E:00:00:01|P3 Dual Port 10GbE "
                "Server Adapter|4.0.534|4.0.600|skip|1\n");
  EXPECT_EQ(DriverLog(), kStarted + NotSupported("4040-0200-1234-00AB") + kCompleted);
  EXPECT_EQ(Calls(), std::vector<std::string>{kCommandLine});
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, RunsTheToolOnceUntilReset) {
  Simulate({Port("NIC1", "4")});
  std::string once = std::string("discover 0 completed=1 count=1\n") + kNic1;
  EXPECT_EQ(Drive({"discover", "discover"}), once + once);
  EXPECT_EQ(DriverLog(), std::string(kStarted) + kCompleted);
  EXPECT_EQ(Calls().size(), 1u);

  EXPECT_EQ(Drive({"reset", "discover", "reset", "discover"}), once + once);
  EXPECT_EQ(Calls().size(), 3u);
}

TEST_F(DiscoveryTest, PortsLeftByAFailedDiscoveryAreDroppedWhenTheToolRunsAgain) {
  Simulate({Port("NIC1", "4")});
  EXPECT_EQ(Drive({"stale", "discover"}), std::string("discover 0 completed=1 count=1\n") + kNic1);
}

TEST_F(DiscoveryTest, BadHexIdIsWarnedAndThePortNotSupported) {
  SimPort bad = Port("NIC1", "4");
  bad.venid = "40G0";
  Simulate({bad});
  EXPECT_EQ(Drive({"discover", "discover"}),
            "discover 0 completed=0 count=0\ndiscover 0 completed=0 count=0\n");
  std::string once = kStarted +
                     std::string(
                         "Warning!!! - Invalid/Corrupted vendor ID (XML tag: venid) "
                         "value.\n") +
                     NotSupported("0000-0100-1234-00AB") + Failed(0);
  EXPECT_EQ(DriverLog(), once + once);  // not completed: the second call runs the tool again
  EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(DiscoveryTest, FirmwareOfAnotherTypeStopsTheReport) {
  SimPort nvram = Port("NIC2", "5");
  nvram.fw_type = "nvram";
  Simulate({Port("NIC1", "4"), nvram, Port("NIC3", "6")});
  EXPECT_EQ(Drive({"discover"}), std::string("discover 0 completed=1 count=1\n") + kNic1);
  const std::string warning =
      "Warning!!! - firmware type is not expected!. Expected type is ROM, current value is "
      "nvram\n";
  EXPECT_EQ(DriverLog(), kStarted + warning + kCompleted);

  Simulate({nvram, Port("NIC3", "6")});
  EXPECT_EQ(Drive({"reset", "discover"}), "discover 0 completed=0 count=0\n");
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, ReportOfTheOtherVendorIsRefused) {
  SimFaults faults;
  faults.report_type = "VARORU_NIC";
  Simulate({Port("NIC1", "4")}, faults);
  EXPECT_EQ(Drive({"discover"}), "discover 0 completed=0 count=0\n");
  EXPECT_EQ(DriverLog(), kStarted +
                             std::string("This VRIT tool can only be used to update P3-series "
                                         "VAroru NICs.\n") +
                             Failed(0));
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, MissingToolFailsWith98) {
  Simulate({Port("NIC1", "4")});
  EXPECT_EQ(Drive({"discover"}, false), "discover 98 completed=0 count=0\n");
  EXPECT_EQ(DriverLog(),
            kStarted + std::string("Could not generate discovery file.\n") + Failed(98));
  EXPECT_TRUE(Calls().empty());
}

TEST_F(DiscoveryTest, MissingReportIsReportedEvenAfterAStaleOne) {
  SimFaults faults;
  faults.report_missing = true;
  Simulate({Port("NIC1", "4")}, faults);
  test::WriteBytes(PackageFile("tempNicList.xml"), "left over from an earlier run");
  EXPECT_EQ(Drive({"discover"}), "discover 0 completed=0 count=0\n");
  EXPECT_EQ(DriverLog(),
            kStarted + std::string("Could not generate discovery file.\n") + Failed(0));
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, ToolFailureSkipsTheReportItWrote) {
  SimFaults faults;
  faults.discovery_exit = 3;
  Simulate({Port("NIC1", "4")}, faults);
  EXPECT_EQ(Drive({"discover"}), "discover 3 completed=0 count=0\n");
  EXPECT_EQ(DriverLog(), kStarted + Failed(3));
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, MalformedReportLogsItsLoadError) {
  SimFaults faults;
  faults.report_malformed = true;
  Simulate({Port("NIC1", "4")}, faults);
  EXPECT_EQ(Drive({"discover"}), "discover 0 completed=0 count=0\n");
  std::string log = DriverLog();
  std::string load = "Loading configuration file tempNicList.xml failed. Error code: ";
  EXPECT_EQ(log.rfind(kStarted + load, 0), 0u) << log;
  EXPECT_EQ(log.substr(log.size() - Failed(0).size()), Failed(0));
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, UtilityLogsTheDiscoveryAndLeavesNoReport) {
  SimPort other = Port("NIC2", "5");
  other.subdevid = "00ab";  // lower case in the report is still hexadecimal AB
  Simulate({Port("NIC1", "4"), other});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(Log().find(kStarted + std::string(kCompleted)), std::string::npos) << Log();
  ASSERT_FALSE(Calls().empty());
  EXPECT_EQ(Calls().front(), kCommandLine);
  EXPECT_NE(r.output.find("NIC2"), std::string::npos) << r.output;
  EXPECT_FALSE(ReportLeftBehind());
}

TEST_F(DiscoveryTest, UtilityFindsNothingWhenEveryPortIsUnknown) {
  SimPort unknown = Port("NIC1", "4");
  unknown.devid = "0101";
  Simulate({unknown});
  test::ProcessResult r = Run({"-c"});
  EXPECT_NE(Log().find(kStarted + NotSupported("4040-0101-1234-00AB") + Failed(0)),
            std::string::npos)
      << Log();
  EXPECT_FALSE(ReportLeftBehind());
}

}  // namespace
