// The post-run check of the iPE/dPE setting, through the real executable and the substitute
// flash tool: which runs it follows, what it asks the tool and what it logs.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/files.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimPort;
using Calls = std::vector<std::string>;

const char kStarted[] = "Started verification of iPE/dPE setting for the supported NICs.\n";
const char kFinished[] = "Finished verification of iPE/dPE setting for the supported NICs.\n";
const std::string kDiscovery = "nxflash.exe -d tempNicList.xml";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The log from the check's first line on.
std::string CheckLog(const std::string& log) {
  size_t at = log.find(kStarted);
  return at == std::string::npos ? std::string() : log.substr(at);
}

SimPort Port(const std::string& id, const std::string& bus, const std::string& version,
             const std::string& hwflags = "none") {
  SimPort p;
  p.device_id = id;
  p.bus = bus;
  p.active_version = version;
  p.hwflags = hwflags;
  return p;
}

class HardwareFlagsTest : public test::PackageTest {
 protected:
  void Ports(const std::vector<SimPort>& ports) { test::WriteSimConfig(package_dir(), ports); }
  Calls ToolCalls() const { return test::ReadCallLog(package_dir()); }
  std::string Flags(const std::string& id) const {
    return test::SimHardwareFlags(package_dir(), id);
  }
};

TEST_F(HardwareFlagsTest, ActiveSettingIsResetAfterShowInstalled) {
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(ToolCalls(), (Calls{kDiscovery, kDiscovery, "nxflash.exe -i NIC1 --info",
                                "nxflash.exe -i 4:0.0 --hwflags 0"}));
  EXPECT_EQ(Flags("NIC1"), "0");
  std::string log = Log();
  EXPECT_TRUE(Contains(CheckLog(log),
                       "\"NIC1\" has firmware version equal to v4.0.555.\n"
                       "nxflash.exe -i \"NIC1\" --info\n"
                       "Current value: Hardware Flags (iPE/dPE) ....... set to 2\n"
                       "nxflash.exe -i 4:0.0 --hwflags 0\n"
                       "\"NIC1\": disabling the iPE/dPE setting succeeded!\n" +
                           std::string(kFinished) + "Exiting with code 0\n"))
      << log;
  EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat")));
  // The check logs only. (Under Wine the windowed substitute tool may write its own lines
  // to the inherited console, so only the utility's texts are looked for.)
  EXPECT_FALSE(Contains(r.output, kStarted));
  EXPECT_FALSE(Contains(r.output, "Current value:"));
  EXPECT_FALSE(Contains(r.output, "disabling the iPE/dPE setting"));
}

class HardwareFlagsAnswerTest : public HardwareFlagsTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(HardwareFlagsAnswerTest, EveryActiveAnswerIsReset) {
  Ports({Port("NIC1", "4", "4.0.555", GetParam())});
  Run({"-c"});
  EXPECT_EQ(ToolCalls().back(), "nxflash.exe -i 4:0.0 --hwflags 0");
  EXPECT_EQ(Flags("NIC1"), "0");
  EXPECT_TRUE(Contains(Log(), "Current value: Hardware Flags (iPE/dPE) ....... " +
                                  std::string(Contains(GetParam(), "uninit") ? "" : "set to ") +
                                  GetParam() + "\n"));
  EXPECT_TRUE(Contains(Log(), "\"NIC1\": disabling the iPE/dPE setting succeeded!\n"));
  EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat")));
}

INSTANTIATE_TEST_SUITE_P(Answers, HardwareFlagsAnswerTest,
                         ::testing::Values("1", "2", "3", "uninitialized"));

TEST_F(HardwareFlagsTest, DisabledSettingIsLeftAlone) {
  Ports({Port("NIC1", "4", "4.0.555", "0")});
  Run({"-c"});
  EXPECT_EQ(ToolCalls().back(), "nxflash.exe -i NIC1 --info");
  EXPECT_TRUE(Contains(CheckLog(Log()),
                       "Current value: Hardware Flags (iPE/dPE) ....... set to 0\n"
                       "iPE/dPE setting is already disabled for \"NIC1\".\n" +
                           std::string(kFinished)));
  EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat")));
}

TEST_F(HardwareFlagsTest, AnswerWithoutHardwareFlagsLineChangesNothing) {
  Ports({Port("NIC1", "4", "4.0.555", "none")});
  Run({"-c"});
  EXPECT_EQ(ToolCalls().back(), "nxflash.exe -i NIC1 --info");
  EXPECT_TRUE(Contains(CheckLog(Log()),
                       "\"NIC1\" has firmware version equal to v4.0.555.\n"
                       "nxflash.exe -i \"NIC1\" --info\n" +
                           std::string(kFinished)));
  EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat")));
}

TEST_F(HardwareFlagsTest, FailedQueryLeavesThePortAlone) {
  SimPort p = Port("NIC1", "4", "4.0.555", "3");
  p.info_exit = 5;
  Ports({p});
  Run({"-c"});
  EXPECT_EQ(ToolCalls().back(), "nxflash.exe -i NIC1 --info");
  EXPECT_EQ(Flags("NIC1"), "3");
  EXPECT_FALSE(Contains(Log(), "Current value:"));
  EXPECT_TRUE(Contains(Log(), kFinished));
}

TEST_F(HardwareFlagsTest, FailedResetIsLoggedAndTheNextPortStillChecked) {
  SimPort first = Port("NIC1", "4", "4.0.555", "1");
  first.hwflags_reset_exit = 7;
  Ports({first, Port("NIC2", "5", "4.0.555", "3")});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Flags("NIC1"), "1");
  EXPECT_EQ(Flags("NIC2"), "0");
  std::string log = CheckLog(Log());
  EXPECT_TRUE(Contains(log,
                       "\"NIC1\": disabling the iPE/dPE setting failed!\n"
                       "nxflash.exe -i 4:0.0 --hwflags 0: error code 7.\n"))
      << log;
  EXPECT_TRUE(Contains(log, "\"NIC2\": disabling the iPE/dPE setting succeeded!\n"));
  EXPECT_TRUE(Contains(log, "Exiting with code 0\n"));
}

TEST_F(HardwareFlagsTest, EachPortIsQueriedByItsIdAndResetByItsAddress) {
  Ports({Port("NIC1", "4", "4.0.555", "1"), Port("NIC 2", "5", "4.0.555", "2")});
  Run({"-c"});
  EXPECT_EQ(ToolCalls(),
            (Calls{kDiscovery, kDiscovery, "nxflash.exe -i NIC1 --info",
                   "nxflash.exe -i 4:0.0 --hwflags 0", "nxflash.exe -i \"NIC 2\" --info",
                   "nxflash.exe -i 5:0.0 --hwflags 0"}));
  EXPECT_TRUE(Contains(Log(), "\"NIC 2\": disabling the iPE/dPE setting succeeded!\n"));
}

TEST_F(HardwareFlagsTest, OtherFirmwareIsOnlyNamed) {
  Ports({Port("NIC1", "4", "4.0.534", "2"), Port("NIC2", "5", "4.0.600", "2")});
  Run({"-c"});
  EXPECT_EQ(ToolCalls(), (Calls{kDiscovery, kDiscovery}));
  EXPECT_TRUE(Contains(CheckLog(Log()), std::string(kStarted) + "Started device discovery!\n"));
  EXPECT_TRUE(Contains(CheckLog(Log()),
                       "\"NIC1\" has firmware version 4.0.534.\n"
                       "\"NIC2\" has firmware version 4.0.600.\n" +
                           std::string(kFinished)));
}

TEST_F(HardwareFlagsTest, DiscoveryReportRunIsFollowedByTheCheck) {
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  Run({"-d", "report.xml"});
  EXPECT_EQ(Flags("NIC1"), "0");
  EXPECT_TRUE(Contains(Log(), kFinished));
}

TEST_F(HardwareFlagsTest, VersionCheckRunIsFollowedByTheCheck) {
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  Run({"-s", "-v", "version.xml"});
  EXPECT_EQ(Flags("NIC1"), "0");
  EXPECT_TRUE(Contains(Log(), kFinished));
}

TEST_F(HardwareFlagsTest, UpdateRunChecksTheFirmwareJustFlashed) {
  SimPort failing = Port("NIC2", "5", "4.0.555", "3");
  failing.flash_exit = 9;
  Ports({Port("NIC1", "4", "4.0.555", "3"), failing});
  Run({"-s", "-f"});
  // NIC1 now runs the package firmware; NIC2 kept 4.0.555 and has its setting reset.
  std::string log = CheckLog(Log());
  EXPECT_TRUE(Contains(log, "\"NIC1\" has firmware version 4.0.600.\n")) << log;
  EXPECT_TRUE(Contains(log, "\"NIC2\" has firmware version equal to v4.0.555.\n"));
  EXPECT_EQ(Flags("NIC1"), "3");
  EXPECT_EQ(Flags("NIC2"), "0");
}

TEST_F(HardwareFlagsTest, ReportOnlyRunHasNoCheck) {
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  Run({"-n"});
  EXPECT_FALSE(Contains(Log(), kStarted));
  EXPECT_EQ(Flags("NIC1"), "2");
}

TEST_F(HardwareFlagsTest, ApplyReportRunHasNoCheck) {
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  Run({"-d", "report.xml"});
  ASSERT_TRUE(test::Exists(PackageFile("report.xml")));
  Ports({Port("NIC1", "4", "4.0.555", "2")});
  platform::RemoveFile(LogPath());
  Run({"-u", "report.xml"});
  EXPECT_FALSE(Contains(Log(), kStarted));
  EXPECT_EQ(Flags("NIC1"), "2");
}

}  // namespace
