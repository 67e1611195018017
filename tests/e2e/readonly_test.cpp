// The read-only outputs through the real executable and the substitute flash tool: the -c
// table, the version-only report of -v and the -ql check.
#include <gtest/gtest.h>

#include "support/files.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimPort;

using test::Contains;

std::string Golden(const std::string& name) {
  return test::Join(test::Join(test::BinaryDir(), "golden"), name);
}

SimPort Port(const std::string& id, const std::string& function, const std::string& version) {
  SimPort p;
  p.device_id = id;
  p.function = function;
  p.macaddress = "00:0E:1E:00:00:0" + std::to_string(std::stoi(function) + 1);
  p.active_version = version;
  return p;
}

// The sample package offers 4.0.600 for the simulated model.
class ReadOnlyTest : public test::PackageTest {
 protected:
  void Ports(const std::vector<SimPort>& ports) { test::WriteSimConfig(package_dir(), ports); }
};

TEST_F(ReadOnlyTest, ShowInstalledListsEveryPortAfterTheBanner) {
  Ports({Port("NIC1", "0", "4.0.534"), Port("NIC2", "1", "4.0.555")});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  std::string table = test::ReadText(Golden("show_installed_two_ports.txt"));
  ASSERT_FALSE(table.empty());
  // The table is all the console shows after the banner.
  size_t at = r.output.find("MAC  ");
  ASSERT_NE(at, std::string::npos) << r.output;
  EXPECT_EQ(r.output.substr(at), table);
  EXPECT_TRUE(Contains(Log(), table));
  EXPECT_TRUE(Contains(Log(), "Exiting with code 0\n"));
  // -c changes nothing: the only tool runs are discoveries and the post-run query.
  for (const std::string& call : test::ReadCallLog(package_dir()))
    EXPECT_FALSE(Contains(call, " -f ") || Contains(call, " -u ")) << call;
}

TEST_F(ReadOnlyTest, ShowInstalledWithoutSupportedPortShowsNoTable) {
  SimPort foreign = Port("NIC1", "0", "4.0.534");
  foreign.devid = "0200";
  Ports({foreign});
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_FALSE(Contains(r.output, "MAC "));
  std::string log = Log();
  EXPECT_TRUE(Contains(log, "Exiting with code 2\n"));
  EXPECT_FALSE(Contains(log, "iPE/dPE"));
}

TEST_F(ReadOnlyTest, VersionOptionWritesTheVersionOnlyReport) {
  Ports({Port("NIC1", "0", "4.0.555")});
  Run({"-s", "-v", "version.xml"});
  std::string golden = test::ReadBytes(Golden("version_only_report.xml"));
  ASSERT_FALSE(golden.empty());
  EXPECT_EQ(test::ReadBytes(PackageFile("version.xml")), golden);
  // The log carries the same tree, without the byte order mark and header line.
  std::string tree = golden.substr(golden.find("<zelt_rom_discovery"));
  EXPECT_TRUE(
      Contains(Log(), "Created an XML file with only FW version information!\n" + tree + "\n"));
}

TEST_F(ReadOnlyTest, VersionOnlyCheckGivesOneWithAdaptersAndFourWithout) {
  Ports({Port("NIC1", "0", "4.0.534")});
  test::ProcessResult r = Run({"-ql"});
  EXPECT_EQ(r.exit_code, 1) << r.output;
  // -ql never has a file name of its own.
  EXPECT_TRUE(Contains(r.output, "Failed to create file  with only firmware version details!\n"));
  EXPECT_TRUE(Contains(Log(), "Exiting with code 1\n"));

  Ports({});
  r = Run({"-ql"});
  EXPECT_EQ(r.exit_code, 4) << r.output;
  EXPECT_TRUE(Contains(r.output, "No supported network adapters for firmware upgrade.\n"));
}

}  // namespace
