// Discovery through the utility and the substitute flash tool: the tool's command line, the
// log, and no report left behind, whether the tool succeeds, fails or is missing. How the
// report is read is tested at unit level.
#include <gtest/gtest.h>

#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimFaults;
using test::SimPort;

const char kStarted[] = "Started device discovery!\nnxflash.exe -d tempNicList.xml\n";
const char kCompleted[] = "Device discovery completed successfully!\n";
const char kCommandLine[] = "nxflash.exe -d tempNicList.xml";

using test::Contains;

class DiscoveryTest : public test::PackageTest {
 protected:
  void Simulate(const std::vector<SimPort>& ports, const SimFaults& faults = {}) {
    test::WriteSimConfig(package_dir(), ports, faults);
  }
  std::vector<std::string> Calls() const { return test::ReadCallLog(package_dir()); }
  bool ReportLeftBehind() const { return test::Exists(PackageFile("tempNicList.xml")); }
};

TEST_F(DiscoveryTest, ToolReportIsReadAndRemoved) {
  SimPort unknown;
  unknown.device_id = "NIC2";
  unknown.bus = "5";
  unknown.devid = "0200";
  SimPort prefixed;
  prefixed.device_id = "NIC3";
  prefixed.bus = "6";
  prefixed.venid = "0x4040";  // still the catalog's model
  Simulate({SimPort(), unknown, prefixed});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(Contains(Log(), kStarted +
                                  std::string("NIC with PCI ID 4040-0200-1234-00AB is not "
                                              "identified as a supported VAroru P3 NIC.\n") +
                                  kCompleted))
      << Log();
  EXPECT_TRUE(Contains(r.output, "  NIC1  ") && Contains(r.output, "  NIC3  ")) << r.output;
  EXPECT_FALSE(Contains(r.output, "  NIC2  "));
  ASSERT_FALSE(Calls().empty());
  EXPECT_EQ(Calls().front(), kCommandLine);
  EXPECT_FALSE(ReportLeftBehind());
}

// What the tool may write that the utility refuses, as a deployment would meet it.
TEST_F(DiscoveryTest, FaultyReportsAreRefusedWithTheirWarning) {
  SimPort bad_hex;
  bad_hex.venid = "40G0";
  SimFaults nvram;
  nvram.fw_type = "nvram";
  SimFaults other_vendor;
  other_vendor.report_type = "VARORU_NIC";
  struct Case {
    SimPort port;
    SimFaults faults;
    std::string log;
  } cases[] = {
      {bad_hex,
       {},
       "Warning!!! - Invalid/Corrupted vendor ID (XML tag: venid) value.\n"
       "NIC with PCI ID 0000-0100-1234-00AB is not identified as a supported VAroru P3 NIC.\n"},
      {SimPort(), nvram,
       "Warning!!! - firmware type is not expected!. Expected type is ROM, current value is "
       "nvram\nDevice discovery failed with error code 0\n"},
      {SimPort(), other_vendor,
       "This VRIT tool can only be used to update P3-series VAroru NICs.\n"
       "Device discovery failed with error code 0\n"},
  };
  for (const Case& c : cases) {
    Simulate({c.port}, c.faults);
    test::ProcessResult r = Run({"-c"});
    EXPECT_EQ(r.exit_code, 2) << c.log;
    EXPECT_TRUE(Contains(Log(), kStarted + c.log)) << Log();
    EXPECT_FALSE(ReportLeftBehind());
  }
}

TEST_F(DiscoveryTest, FailuresAreLoggedAndLeaveNoReport) {
  struct Case {
    const char* name;
    SimFaults faults;
    bool tool_missing;
    std::string log;
  } cases[3];
  cases[0] = {"tool missing",
              {},
              true,
              "Could not generate discovery file.\nDevice discovery failed with error code 98\n"};
  cases[1] = {"report missing",
              {},
              false,
              "Could not generate discovery file.\nDevice discovery failed with error code 0\n"};
  cases[1].faults.report_missing = true;
  cases[2] = {"tool fails", {}, false, "Device discovery failed with error code 3\n"};
  cases[2].faults.discovery_exit = 3;  // the report it wrote is not read
  for (const Case& c : cases) {
    Simulate({SimPort()}, c.faults);
    // A report left from an earlier run is never taken for this run's.
    test::WriteBytes(PackageFile("tempNicList.xml"), "left over from an earlier run");
    test::ProcessResult r = c.tool_missing ? RunWithoutTool({"-c"}) : Run({"-c"});
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_TRUE(Contains(Log(), kStarted + c.log)) << c.name << "\n" << Log();
    EXPECT_FALSE(Contains(r.output, "  NIC1  ")) << c.name;
    EXPECT_FALSE(ReportLeftBehind()) << c.name;
  }
}

}  // namespace
