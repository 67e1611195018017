// Update runs, report modes and the driver rule through the real executable and the
// substitute flash tool.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "support/package.h"
#include "support/pe_fixture.h"
#include "support/sim.h"

namespace {

using test::SimPort;
using Calls = std::vector<std::string>;

const std::string kDiscovery = "nxflash.exe -d tempNicList.xml";

using test::Contains;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

constexpr auto& Port = test::SimPortAt;

// The sample catalog offers 4.0.600; these ports need no driver check (all >= 4.0.555).
const SimPort kOlder = Port("NIC1", "4", "4.0.556");
const SimPort kNewer = Port("NIC2", "5", "4.0.700");
const SimPort kSame = Port("NIC3", "6", "4.0.600");

class UpdateTest : public test::PackageTest {
 protected:
  // Fresh simulated ports and an empty call log.
  void Ports(const std::vector<SimPort>& ports, const test::SimFaults& faults = {}) {
    test::WriteSimConfig(package_dir(), ports, faults);
    test::RemoveIfPresent(PackageFile(test::kSimCallLogFile));
  }
  Calls ToolCalls() const { return test::ReadCallLog(package_dir()); }
  // The calls of an update run with these flashes: discovery, flashes, post-run discovery.
  static Calls Around(const Calls& flashes) {
    Calls calls{kDiscovery};
    calls.insert(calls.end(), flashes.begin(), flashes.end());
    calls.push_back(kDiscovery);
    return calls;
  }
  std::string Version(const std::string& id) const {
    return test::SimActiveVersion(package_dir(), id);
  }
};

TEST_F(UpdateTest, InteractiveRunFlashesOnlyTheChosenPortAfterAllQuestions) {
  Ports({kOlder, kNewer});
  test::ProcessResult r = Run({}, "y\ny\n");
  EXPECT_EQ(r.exit_code, 2) << r.output;
  EXPECT_EQ(ToolCalls(), (Calls{kDiscovery, "nxflash.exe -i 4:0.0 -f -a",
                                "nxflash.exe -i 5:0.0 -f -a", kDiscovery}));
  EXPECT_EQ(Version("NIC1"), "4.0.600");
  EXPECT_EQ(Version("NIC2"), "4.0.600");
  EXPECT_TRUE(Contains(r.output,
                       "Found P3 Dual Port 10GbE Server Adapter MAC: 00:0E:1E:00:00:04 (v4.0.556)\n"
                       "Update firmware on 'NIC1' (4:0.0) : \n"
                       "From ROM 4.0.556 to 4.0.600?  y/n/q/c (y):"));
  EXPECT_TRUE(Contains(r.output,
                       "*** WARNING *** - Installed firmware is more recent than selected "
                       "firmware\nUpdate firmware on 'NIC2' (5:0.0) : \nFrom ROM 4.0.700 to "
                       "4.0.600?  y/n/q/c (n):"));
  // Both questions come before the first flash; the notice comes once.
  EXPECT_LT(r.output.find("'NIC2'"), r.output.find("Selecting"));
  EXPECT_EQ(Count(r.output,
                  "The Firmware upgrade will take several minutes. Please be "
                  "patient.\n"),
            1u);
  EXPECT_TRUE(Contains(r.output,
                       "Selecting P3 Dual Port 10GbE Server Adapter MAC: "
                       "00:0E:1E:00:00:04 \nMAC 00:0E:1E:00:00:04 upgrade SUCCESS!\n"));
  const std::string closing = "\nNIC firmware update complete.\n";
  EXPECT_EQ(r.output.substr(r.output.size() - closing.size()), closing);
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "nxflash.exe -i 4:0.0 -f -a\n"));
  EXPECT_TRUE(Contains(log, "Exiting with code 2\n"));
}

TEST_F(UpdateTest, AnswersDecideWhatIsFlashed) {
  const SimPort older2 = Port("NIC2", "5", "4.0.556");
  struct Case {
    const char* typed;
    std::vector<SimPort> ports;
    int code;
    Calls flashes;
    std::string message;
  } cases[] = {
      {"\n\n", {kOlder, kNewer}, 2, {"nxflash.exe -i 4:0.0 -f -a"}, "update complete"},
      {"c\ny\n", {kOlder, older2}, 2, {"nxflash.exe -i 5:0.0 -f -a"}, "update complete"},
      {"n\nn\n", {kOlder, kNewer}, 3, {}, "\nNo firmware is selected for update.\n"},
      {"", {kOlder, kNewer}, 3, {}, "Unknown input problem!\nQuit...\n"},
      {"q\ny\n", {kOlder, kNewer}, 3, {}, "\nFirmware upgrade cancelled by User \n"},
  };
  for (const Case& c : cases) {
    Ports(c.ports);
    test::ProcessResult r = Run({}, c.typed);
    EXPECT_EQ(r.exit_code, c.code) << c.typed;
    EXPECT_EQ(ToolCalls(), Around(c.flashes)) << c.typed;
    EXPECT_TRUE(Contains(r.output, c.message)) << r.output;
    EXPECT_EQ(Contains(r.output, "'NIC2'"), c.typed[0] != 'q') << r.output;  // q asks no more
  }
}

TEST_F(UpdateTest, OptionsChangeWhatTheDefaultAnswerIs) {
  const std::string flash4 = "nxflash.exe -i 4:0.0 -f -a";
  const std::string flash5 = "nxflash.exe -i 5:0.0 -f -a";
  const std::string flash6 = "nxflash.exe -i 6:0.0 -f -a";
  struct Case {
    std::vector<std::string> args;
    Calls flashes;
  } cases[] = {
      {{"-s"}, {flash4}},
      {{"-s", "-f"}, {flash4, flash5, flash6}},
      {{"-y"}, {flash4}},
      {{"-e", "-y"}, {flash4, flash6}},
      {{"-g", "-y"}, {flash4, flash5}},
      {{"-f", "-y"}, {flash4, flash5, flash6}},
  };
  for (const Case& c : cases) {
    Ports({kOlder, kNewer, kSame});
    test::ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, 2) << c.args[0];
    EXPECT_EQ(ToolCalls(), Around(c.flashes)) << c.args[0];
    EXPECT_FALSE(Contains(r.output, "y/n/q/c")) << c.args[0];
    EXPECT_TRUE(c.args[0] != "-s" || r.output.empty()) << r.output;
  }
}

TEST_F(UpdateTest, OneFailingPortDoesNotStopTheOther) {
  SimPort failing = kOlder;
  failing.flash_exit = 7;
  Ports({failing, Port("NIC2", "5", "4.0.556")});
  test::ProcessResult r = Run({"-s"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Version("NIC2"), "4.0.600");
  std::string log = Log();
  EXPECT_TRUE(Contains(log,
                       "Command to upgrade firmware failed with internal error code 7\n"
                       "\tCommand: nxflash.exe -i 4:0.0 -f -a\n"));
  EXPECT_TRUE(Contains(log, "\nNIC firmware update completed with errors. \n"));
  EXPECT_TRUE(Contains(log, "Exiting with code 0\n"));
}

TEST_F(UpdateTest, ReportOnlyRecommendsWithoutChanging) {
  const std::string recommended = "\nNIC firmware update is recommended.\n";
  const std::string not_recommended = "\nNIC firmware update is not recommended.\n";
  struct Case {
    std::vector<SimPort> ports;
    int code;
    const std::string& message;
  } cases[] = {{{kOlder, kNewer}, 4, recommended},  // an older port outweighs a newer one
               {{kSame}, 5, not_recommended},
               {{kSame, kNewer}, 6, not_recommended}};
  for (const Case& c : cases) {
    Ports(c.ports);
    test::ProcessResult r = Run({"-n"});
    EXPECT_EQ(r.exit_code, c.code);
    EXPECT_EQ(ToolCalls(), (Calls{kDiscovery}));  // no flash and no post-run check
    EXPECT_FALSE(Contains(r.output, "y/n/q/c"));
    EXPECT_EQ(r.output.substr(r.output.size() - c.message.size()), c.message) << c.code;
  }
}

TEST_F(UpdateTest, NoSupportedPortEndsQuietlyWithZero) {
  SimPort foreign = kOlder;
  foreign.devid = "0200";
  Ports({foreign});
  test::ProcessResult r = Run({"-s"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Contains(Log(),
                       "Dependencies Failed -- Driver and firmware set are not allowed "
                       "for update.\n"));
}

TEST_F(UpdateTest, DiscoveryReportIsWrittenForTheUser) {
  Ports({kOlder});
  test::WriteBytes(PackageFile("report.xml"), "old");
  test::ProcessResult r = Run({"-d", "report.xml"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.output, "\nSuccessfully generated NIC discovery report to report.xml.\n"));
  EXPECT_TRUE(Contains(test::ReadText(PackageFile("report.xml")), "<zelt_rom_discovery"));
  EXPECT_FALSE(test::Exists(PackageFile("report.xml.previous")));  // the old one is gone
  const std::string private_report =
      std::string(".quorvane-report") + platform::PathSeparator() + "report.xml";
  EXPECT_EQ(ToolCalls(), (Calls{kDiscovery, "nxflash.exe -d " + private_report, kDiscovery}));
  EXPECT_FALSE(test::Exists(PackageFile(".quorvane-report")));  // the private directory goes
}

TEST_F(UpdateTest, FailedReportKeepsTheOldReport) {
  test::SimFaults failing;
  failing.user_report_exit = 9;
  test::SimFaults silent;  // ends well but writes no report
  silent.user_report_missing = true;
  test::SimFaults partial = failing;  // fails after a first line
  partial.user_report_partial = true;
  struct Case {
    test::SimFaults faults;
    bool stale;  // a copy of an earlier run takes the first name: the report goes to the next
  } cases[] = {{failing, false}, {silent, true}, {partial, false}};
  for (const Case& c : cases) {
    Ports({kOlder}, c.faults);
    test::WriteBytes(PackageFile("report.xml"), "old");
    if (c.stale) test::WriteBytes(PackageFile("report.xml.previous"), "stale");
    test::ProcessResult r = Run({"-d", "report.xml"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(Contains(r.output, "\nFailed to generate NIC discovery report to report.xml.\n"))
        << r.output;
    EXPECT_FALSE(Contains(r.output, "Successfully"));
    EXPECT_EQ(test::ReadText(PackageFile("report.xml")), "old");
    EXPECT_EQ(test::Exists(PackageFile("report.xml.previous")), c.stale);
    EXPECT_FALSE(test::Exists(PackageFile("report.xml.previous1")));
    test::RemoveIfPresent(PackageFile("report.xml.previous"));
  }
}

// A new report replaces the old one whole by one rename: the names an old one was once moved
// aside to are left alone, taken or not, and nothing is moved aside.
TEST_F(UpdateTest, AReportReplacesTheOldOneWithoutMovingItAside) {
  Ports({kOlder});
  test::WriteBytes(PackageFile("report.xml"), "old");
  for (int n = 0; n < 100; ++n)
    test::WriteBytes(PackageFile("report.xml.previous" + (n ? std::to_string(n) : "")), "");
  test::ProcessResult r = Run({"-d", "report.xml"});
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_FALSE(Contains(r.output, "cannot be moved aside")) << r.output;
  EXPECT_TRUE(Contains(test::ReadText(PackageFile("report.xml")), "<zelt_rom_discovery"));
  for (int n = 0; n < 100; ++n)
    EXPECT_EQ(test::ReadText(PackageFile("report.xml.previous" + (n ? std::to_string(n) : ""))),
              "");
}

// The log line reaches standard error too, unless the run is silent.
TEST_F(UpdateTest, ApplyingAMissingReportFails) {
  Ports({kOlder});
  const std::string error = "Error: Discovery file missing.xml not found!.\n";
  test::ProcessResult r = Run({"-u", "missing.xml"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Contains(r.output, error));
  EXPECT_TRUE(Contains(Log(), error));
  EXPECT_EQ(Run({"-u", "missing.xml", "-s"}).output, "");
  EXPECT_TRUE(ToolCalls().empty());
}

TEST_F(UpdateTest, ApplyingAReportFlashesWithoutDiscovery) {
  Ports({kOlder});
  ASSERT_EQ(Run({"-d", "report.xml", "-s"}).exit_code, 1);
  test::ProcessResult r = Run({"-u", "report.xml", "-y"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_TRUE(Contains(r.output, "\nNIC firmware update complete.\n"));
  Calls calls = ToolCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "nxflash.exe -u report.xml");  // no post-run check after -u
  EXPECT_EQ(Version("NIC1"), "4.0.600");
}

TEST_F(UpdateTest, RunningToolKeepsTheUtilityFromStarting) {
  test::SimFaults slow;
  slow.delay_ms = 3000;
  Ports({kOlder}, slow);
  std::string lock = test::Join(temp_dir(), "ravare_lock_file");
  test::BackgroundProcess tool({test::ToolPath(), "-d", "other.xml"}, package_dir());
  for (int i = 0; i < 200 && !test::Exists(lock); ++i) platform::SleepMilliseconds(10);
  ASSERT_TRUE(test::Exists(lock));

  test::ProcessResult r = Run({"-s", "-f"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Contains(Log(),
                       "Error: Either another RavAre tool is already running, or your "
                       "last session did not close gracefully. Required to clear the "
                       "settings!\n"));
  EXPECT_FALSE(Contains(Log(), "Upgrade began"));
  EXPECT_TRUE(test::Exists(lock));  // a running tool's lock is never taken away
  tool.Wait();
  EXPECT_EQ(ToolCalls(), (Calls{"nxflash.exe -d other.xml"}));
}

// The driver rule: a port below 4.0.555 going to a package at or above it.
class DriverRuleTest : public UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    Ports({Port("NIC1", "4", "4.0.534")});
    system32_ = test::Join(test::Join(drive_dir(), "windows"), "system32");
    ASSERT_TRUE(platform::MakeDirectory(test::Join(drive_dir(), "windows")));
    ASSERT_TRUE(platform::MakeDirectory(system32_));
  }
  void TearDown() override {
    for (const char* d : {"zeltnd5x86.sys", "qlxgnd32.sys"})
      test::RemoveIfPresent(test::Join(platform::SystemDirectory().value(), d));
    UpdateTest::TearDown();
  }
  // On Linux the system directory follows SYSTEMDRIVE; under Wine it is the prefix's own.
  void InstallDriver(const char* name, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    test::WriteBytes(test::Join(platform::SystemDirectory().value(), name),
                     test::MakeVersionedPe(a, b, c, d));
  }
  std::string system32_;
};

TEST_F(DriverRuleTest, VerdictsOfTheVersionCheck) {
  test::ProcessResult missing = Run({"-v", "versions.xml"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_TRUE(Contains(Log(),
                       "Could not get device driver (zeltnd5x86.sys) version details. "
                       "Please make sure that device driver is properly installed!\n"));

  InstallDriver("zeltnd5x86.sys", 4, 0, 554, 65535);
  EXPECT_EQ(Run({"-v", "versions.xml"}).exit_code, 0);
  EXPECT_TRUE(Contains(Log(), "Installed device driver version: 4.0.554.65535.\n"));

  InstallDriver("zeltnd5x86.sys", 4, 0, 555, 0);
  EXPECT_EQ(Run({"-v", "versions.xml"}).exit_code, 2);
  EXPECT_TRUE(Contains(
      Log(),
      "At least one VAroru P3 adapter has a firmware version less than v4.0.555.  Will "
      "verify whether the current device driver version is allowed for this update.\n"
      "Assessing device driver zeltnd5x86.sys\n"
      "Installed device driver version: 4.0.555.0.\n"
      "Device driver zeltnd5x86.sys must be version less than 4.0.555.0 in order to "
      "complete firmware update. The driver can be updated after the system is rebooted.\n"));
}

TEST_F(DriverRuleTest, RefusedDriverStopsTheUpdateBeforeAnyFlash) {
  InstallDriver("zeltnd5x86.sys", 4, 0, 555, 0);
  test::ProcessResult r = Run({"-s", "-f"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(ToolCalls(), (Calls{kDiscovery, kDiscovery}));  // gate, then the post-run check
  EXPECT_TRUE(Contains(Log(),
                       "Dependencies Failed -- Driver and firmware set are not allowed "
                       "for update.\n"));

  InstallDriver("zeltnd5x86.sys", 4, 0, 554, 0);
  EXPECT_EQ(Run({"-s"}).exit_code, 2);
  EXPECT_EQ(Version("NIC1"), "4.0.600");
}

TEST_F(DriverRuleTest, Server2003ChoosesItsOwnDriver) {
  if (!test::SetHostVersionForUtility("win2003")) GTEST_SKIP() << "host version is fixed";
  InstallDriver("qlxgnd32.sys", 4, 3, 13, 701);
  InstallDriver("zeltnd5x86.sys", 4, 0, 555, 0);  // would refuse, but is not the one asked
  EXPECT_EQ(Run({"-v", "versions.xml"}).exit_code, 0);
  EXPECT_TRUE(Contains(Log(), "Assessing device driver qlxgnd32.sys\n"));

  InstallDriver("qlxgnd32.sys", 4, 3, 13, 702);
  EXPECT_EQ(Run({"-v", "versions.xml"}).exit_code, 2);

  ASSERT_TRUE(test::SetHostVersionForUtility("win7"));
  EXPECT_EQ(Run({"-v", "versions.xml"}).exit_code, 2);
  EXPECT_TRUE(Contains(Log(), "Assessing device driver zeltnd5x86.sys\n"));
  test::SetHostVersionForUtility("");
}

// A version.dll beside the utility, in its package, is never loaded, even where the host
// prefers such a library to its own (as Windows does for one imported by name); the driver's
// and the utility's versions are still read from the system's.
TEST_F(DriverRuleTest, PlantedVersionLibraryNeverRuns) {
  const std::string planted = test::Join(test::Join(test::BinaryDir(), "planted"), "version.dll");
  if (!test::Exists(planted)) GTEST_SKIP() << "a Windows library";
  for (const std::string& file : {planted, test::UtilityPath(), test::ToolPath()})
    test::WriteBytes(PackageFile(file.substr(file.find_last_of('\\') + 1)), test::ReadBytes(file));
  // Wine takes the order from the environment the suite was started with (CTest's).
  const char* order = std::getenv("WINEDLLOVERRIDES");
  ASSERT_TRUE(order && Contains(order, "version=n,b")) << "run through ctest";
  InstallDriver("zeltnd5x86.sys", 4, 0, 554, 65535);
  test::ProcessResult r =
      test::RunProcess({PackageFile("Quorvane.exe"), "-v", "versions.xml"}, package_dir());

  EXPECT_FALSE(test::Exists(PackageFile("version.dll.ran")));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_TRUE(Contains(Log(), "Installed device driver version: 4.0.554.65535.\n"));
  EXPECT_FALSE(Contains(Log(), "(0.0.0.0)"));  // the banner's own version
}

}  // namespace
