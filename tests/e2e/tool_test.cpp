// The substitute flash tool, run directly: the other end-to-end tests rely on it behaving as
// its README says.
#include <gtest/gtest.h>

#include "support/package.h"
#include "support/sim.h"
#include "xml/xml_node.h"

namespace {

using test::SimFaults;
using test::SimPort;

using test::Contains;

// The value attribute of a named child, or "(none)".
std::string Datum(const XmlNode& parent, const char* name) {
  const char* value = parent.FindChild(name).AttributeValue("value");
  return value ? value : "(none)";
}

SimPort SecondPort() {
  SimPort p;
  p.device_id = "Local Area Connection 2";
  p.function = "1";
  p.active_version = "4.0.555";
  p.hwflags = "2";
  p.action = "skip";
  return p;
}

// Runs the tool directly in a package directory with its own temporary directory.
class ToolTest : public test::PackageTest {
 protected:
  test::ProcessResult Tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{test::ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProcess(argv, package_dir());
  }
  // Runs -d into report.xml and loads it; the empty node when it is missing or not XML.
  XmlNode Discover() {
    EXPECT_EQ(Tool({"-d", "report.xml"}).exit_code, 0);
    return XmlNode::LoadRepaired(PackageFile("report.xml").c_str(), "zelt_rom_discovery");
  }
  std::string LockFile() const { return test::Join(temp_dir(), "ravare_lock_file"); }
};

TEST_F(ToolTest, ReportDescribesEachPortAndFlashingShowsInTheNext) {
  test::WriteSimConfig(package_dir(), {SimPort(), SecondPort()});
  XmlNode devices = Discover().FindChild("devices");
  ASSERT_EQ(devices.ChildCount(), 2);
  XmlNode first = devices.ChildAt(0);
  EXPECT_EQ(Datum(first, "device_id") + " " + Datum(first, "venid") + "-" + Datum(first, "devid") +
                "-" + Datum(first, "subvenid") + "-" + Datum(first, "subdevid") + " " +
                Datum(first, "busnumber") + ":" + Datum(first, "devicenumber") + "." +
                Datum(first, "funcnumber"),
            "NIC1 4040-0100-1234-00AB 4:0.0");
  XmlNode item = first.FindChild("fw_item");
  EXPECT_EQ(Datum(item, "active_version") + " " + Datum(item, "version"), "4.0.534 4.0.600");
  EXPECT_EQ(Datum(devices.ChildAt(1).FindChild("fw_item"), "action"), "skip");

  EXPECT_EQ(Tool({"-i", "4:0.0", "-f", "-a"}).exit_code, 0);
  item = Discover().FindChild("devices").ChildAt(0).FindChild("fw_item");
  EXPECT_EQ(Datum(item, "active_version"), "4.0.600");
  EXPECT_EQ(test::SimActiveVersion(package_dir(), "Local Area Connection 2"), "4.0.555");
}

TEST_F(ToolTest, InfoShowsTheSettingAndTheResetIsKept) {
  SimPort failing;
  failing.hwflags = "uninitialized";
  failing.hwflags_reset_exit = 6;
  test::WriteSimConfig(package_dir(), {failing, SecondPort()});
  EXPECT_TRUE(Contains(Tool({"-i", "NIC1", "--info"}).output,
                       "Hardware Flags (iPE/dPE) ....... uninitialized\n"));
  EXPECT_EQ(Tool({"-i", "4:0.0", "--hwflags", "0"}).exit_code, 6);
  EXPECT_EQ(test::SimHardwareFlags(package_dir(), "NIC1"), "uninitialized");

  EXPECT_EQ(Tool({"-i", "4:0.1", "--hwflags", "0"}).exit_code, 0);
  EXPECT_TRUE(Contains(Tool({"-i", "Local Area Connection 2", "--info"}).output,
                       "Hardware Flags (iPE/dPE) ....... set to 0\n"));
}

TEST_F(ToolTest, CallLogHoldsOneLineQuotedAlikeOnEveryHost) {
  test::WriteSimConfig(package_dir(), {SecondPort()});
  Tool({"-i", "Local Area Connection 2", "--info"});
  Tool({"-d", "my report.xml"});
  Tool({"-x", "say \"hi\""});
  EXPECT_EQ(test::ReadCallLog(package_dir()),
            (std::vector<std::string>{"nxflash.exe -i \"Local Area Connection 2\" --info",
                                      "nxflash.exe -d \"my report.xml\"",
                                      "nxflash.exe -x \"say \\\"hi\\\"\""}));
}

TEST_F(ToolTest, LockFileIsRemovedAtTheEndUnlessKept) {
  test::WriteSimConfig(package_dir(), {SimPort()});
  EXPECT_EQ(Tool({"-i", "NIC1", "--info"}).exit_code, 0);
  EXPECT_FALSE(test::Exists(LockFile()));
  SimFaults keep;
  keep.keep_lock = true;
  test::WriteSimConfig(package_dir(), {SimPort()}, keep);
  EXPECT_EQ(Tool({"-i", "NIC1", "--info"}).exit_code, 0);
  EXPECT_TRUE(test::Exists(LockFile()));
}

}  // namespace
