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

using test::Contains;

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

TEST_F(HardwareFlagsTest, OnlyAnActiveAnswerIsReset) {
  struct Case {
    const char* hwflags;
    int info_exit;
    const char* current;  // the logged value line, "" for none
    bool reset;
  } cases[] = {
      {"1", 0, "set to 1", true},
      {"3", 0, "set to 3", true},
      {"uninitialized", 0, "uninitialized", true},
      {"0", 0, "set to 0", false},
      {"none", 0, "", false},
      {"3", 5, "", false},  // a failed query
  };
  for (const Case& c : cases) {
    SimPort p = Port("NIC1", "4", "4.0.555", c.hwflags);
    p.info_exit = c.info_exit;
    Ports({p});
    test::RemoveIfPresent(LogPath());
    Run({"-c"});
    EXPECT_EQ(ToolCalls().back(),
              c.reset ? "nxflash.exe -i 4:0.0 --hwflags 0" : "nxflash.exe -i NIC1 --info")
        << c.hwflags;
    EXPECT_EQ(Flags("NIC1"), c.reset ? "0" : c.hwflags);
    std::string log = CheckLog(Log());
    const std::string current = "Current value: Hardware Flags (iPE/dPE) ....... ";
    EXPECT_EQ(Contains(log, "Current value:"), *c.current != 0) << log;
    EXPECT_TRUE(Contains(log, current + c.current + "\n") || !*c.current) << log;
    if (std::string(c.hwflags) == "0") {
      EXPECT_TRUE(Contains(log, "iPE/dPE setting is already disabled for \"NIC1\".\n")) << log;
    }
    EXPECT_TRUE(Contains(log, kFinished)) << log;
    if (c.info_exit == 0) {
      EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat"))) << c.hwflags;
    }
  }
}

TEST_F(HardwareFlagsTest, EachPortIsQueriedByItsIdAndAFailedResetIsLogged) {
  SimPort first = Port("NIC1", "4", "4.0.555", "1");
  first.hwflags_reset_exit = 7;
  Ports({first, Port("NIC 2", "5", "4.0.555", "2")});
  EXPECT_EQ(Run({"-c"}).exit_code, 0);
  EXPECT_EQ(ToolCalls(),
            (Calls{kDiscovery, kDiscovery, "nxflash.exe -i NIC1 --info",
                   "nxflash.exe -i 4:0.0 --hwflags 0", "nxflash.exe -i \"NIC 2\" --info",
                   "nxflash.exe -i 5:0.0 --hwflags 0"}));
  EXPECT_EQ(Flags("NIC1"), "1");
  EXPECT_EQ(Flags("NIC 2"), "0");
  std::string log = CheckLog(Log());
  EXPECT_TRUE(Contains(log,
                       "\"NIC1\": disabling the iPE/dPE setting failed!\n"
                       "nxflash.exe -i 4:0.0 --hwflags 0: error code 7.\n"))
      << log;
  EXPECT_TRUE(Contains(log, "\"NIC 2\": disabling the iPE/dPE setting succeeded!\n"));
  EXPECT_TRUE(Contains(log, "Exiting with code 0\n"));
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

TEST_F(HardwareFlagsTest, ReportRunsAreFollowedByTheCheck) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"-d", "report.xml"}, {"-s", "-v", "version.xml"}}) {
    Ports({Port("NIC1", "4", "4.0.555", "2")});
    test::RemoveIfPresent(LogPath());
    Run(args);
    EXPECT_EQ(Flags("NIC1"), "0") << args[0];
    EXPECT_TRUE(Contains(Log(), kFinished)) << args[0];
  }
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

// That -n and -u runs have no check is seen in the update tests' exact tool calls.

}  // namespace
