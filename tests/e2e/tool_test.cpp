// The substitute flash tool, run directly: the other end-to-end tests rely on it behaving as
// its README says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "support/package.h"
#include "support/sim.h"
#include "xml/xml_node.h"

namespace {

using test::SimFaults;
using test::SimPort;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The value attribute of a named child, or "(none)".
std::string Datum(const XmlNode& parent, const char* name) {
  const char* value = parent.FindChild(name).AttributeValue("value");
  return value ? value : "(none)";
}

SimPort SecondPort() {
  SimPort p;
  p.device_id = "Local Area Connection 2";
  p.macaddress = "00:0E:1E:00:00:02";
  p.function = "1";
  p.active_version = "4.0.555";
  p.hwflags = "2";
  p.action = "skip";
  return p;
}

// A package directory holding the sample catalog, with its own temporary directory.
class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::MakeDirectory(temp_);
    test::WriteBytes(File("NICFWData.xml"),
                     test::ReadBytes(test::Join(test::SamplePackageDir(), "NICFWData.xml")));
    const char* tmp = std::getenv("TMP");
    const char* tmpdir = std::getenv("TMPDIR");
    saved_tmp_ = tmp ? tmp : "";
    saved_tmpdir_ = tmpdir ? tmpdir : "";
    test::SetEnvironment("TMP", temp_);
    test::SetEnvironment("TMPDIR", temp_);
  }
  void TearDown() override {
    test::SetEnvironment("TMP", saved_tmp_);
    test::SetEnvironment("TMPDIR", saved_tmpdir_);
  }

  test::ProcessResult Tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{test::ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProcess(argv, dir_.path());
  }
  // Runs -d into report.xml and loads it; the empty node when it is missing or not XML.
  XmlNode Discover(int expected_exit = 0) {
    EXPECT_EQ(Tool({"-d", "report.xml"}).exit_code, expected_exit);
    return XmlNode::LoadFile(File("report.xml").c_str(), "zelt_rom_discovery", nullptr);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string LockFile() const { return test::Join(temp_, "ravare_lock_file"); }

  test::TempDir dir_;
  std::string temp_ = dir_.File("temp");
  std::string saved_tmp_;
  std::string saved_tmpdir_;
};

TEST_F(ToolTest, DiscoveryReportListsEveryPort) {
  test::WriteSimConfig(dir_.path(), {SimPort(), SecondPort()});
  XmlNode root = Discover();
  ASSERT_FALSE(root.IsNull());
  EXPECT_EQ(Datum(root, "type"), "RAVARE_NIC");
  XmlNode devices = root.FindChild("devices");
  ASSERT_EQ(devices.ChildCount(), 2);

  XmlNode first = devices.ChildAt(0);
  EXPECT_STREQ(first.Name(), "device");
  EXPECT_EQ(Datum(first, "device_id"), "NIC1");
  EXPECT_EQ(Datum(first, "venid"), "4040");
  EXPECT_EQ(Datum(first, "devid"), "0100");
  EXPECT_EQ(Datum(first, "subvenid"), "1234");
  EXPECT_EQ(Datum(first, "subdevid"), "00AB");
  EXPECT_EQ(Datum(first, "macaddress"), "00:0E:1E:00:00:01");
  EXPECT_EQ(Datum(first, "product_id"), "P3 Dual Port 10GbE Server Adapter");
  EXPECT_EQ(Datum(first, "busnumber") + ":" + Datum(first, "devicenumber") + "." +
                Datum(first, "funcnumber"),
            "4:0.0");
  XmlNode item = first.FindChild("fw_item");
  EXPECT_EQ(Datum(item, "type"), "rom");
  EXPECT_EQ(Datum(item, "active_version"), "4.0.534");
  EXPECT_EQ(Datum(item, "version"), "4.0.600");
  EXPECT_EQ(Datum(item, "action"), "");

  XmlNode second = devices.ChildAt(1);
  EXPECT_EQ(Datum(second, "device_id"), "Local Area Connection 2");
  EXPECT_EQ(Datum(second, "funcnumber"), "1");
  EXPECT_EQ(Datum(second.FindChild("fw_item"), "action"), "skip");
  EXPECT_EQ(test::ReadCallLog(dir_.path()), std::vector<std::string>{"nxflash.exe -d report.xml"});
}

TEST_F(ToolTest, FlashingSetsThePackageVersionForTheNextDiscovery) {
  test::WriteSimConfig(dir_.path(), {SimPort(), SecondPort()});
  EXPECT_EQ(Tool({"-i", "4:0.0", "-f", "-a"}).exit_code, 0);
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "NIC1"), "4.0.600");
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "Local Area Connection 2"), "4.0.555");
  XmlNode root = Discover();
  XmlNode item = root.FindChild("devices").ChildAt(0).FindChild("fw_item");
  EXPECT_EQ(Datum(item, "active_version"), "4.0.600");
}

TEST_F(ToolTest, FlashFailuresLeaveTheVersion) {
  SimPort failing;
  failing.flash_exit = 7;
  SimPort unknown = SecondPort();
  unknown.subdevid = "00AC";  // not in the catalog
  test::WriteSimConfig(dir_.path(), {failing, unknown});
  EXPECT_EQ(Tool({"-i", "4:0.0", "-f", "-a"}).exit_code, 7);
  EXPECT_EQ(Tool({"-i", "4:0.1", "-f", "-a"}).exit_code, 4);
  EXPECT_EQ(Tool({"-i", "9:9.9", "-f", "-a"}).exit_code, 3);
  // The port is found by its bus address only.
  EXPECT_EQ(Tool({"-i", "NIC1", "-f", "-a"}).exit_code, 3);
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "NIC1"), "4.0.534");
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "Local Area Connection 2"), "4.0.555");
}

TEST_F(ToolTest, InfoPrintsTheHardwareFlagsLineOfEachAnswer) {
  const char* answers[][2] = {{"0", "set to 0"},
                              {"1", "set to 1"},
                              {"2", "set to 2"},
                              {"3", "set to 3"},
                              {"uninitialized", "uninitialized"}};
  for (const auto& answer : answers) {
    SimPort port;
    port.hwflags = answer[0];
    test::WriteSimConfig(dir_.path(), {port});
    test::ProcessResult r = Tool({"-i", "NIC1", "--info"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(
        Contains(r.output, std::string("Hardware Flags (iPE/dPE) ....... ") + answer[1] + "\n"))
        << r.output;
  }
  SimPort without;
  without.info_exit = 5;
  test::WriteSimConfig(dir_.path(), {without});
  test::ProcessResult r = Tool({"-i", "NIC1", "--info"});
  EXPECT_EQ(r.exit_code, 5);
  EXPECT_FALSE(Contains(r.output, "Hardware Flags")) << r.output;
}

TEST_F(ToolTest, HardwareFlagsResetIsKept) {
  SimPort failing;
  failing.hwflags = "3";
  failing.hwflags_reset_exit = 6;
  test::WriteSimConfig(dir_.path(), {SecondPort(), failing});
  EXPECT_EQ(Tool({"-i", "4:0.1", "--hwflags", "0"}).exit_code, 0);
  EXPECT_EQ(test::SimHardwareFlags(dir_.path(), "Local Area Connection 2"), "0");
  EXPECT_TRUE(Contains(Tool({"-i", "Local Area Connection 2", "--info"}).output,
                       "Hardware Flags (iPE/dPE) ....... set to 0\n"));

  EXPECT_EQ(Tool({"-i", "4:0.0", "--hwflags", "0"}).exit_code, 6);
  EXPECT_EQ(test::SimHardwareFlags(dir_.path(), "NIC1"), "3");
}

TEST_F(ToolTest, CallLogHoldsOneLineQuotedAlikeOnEveryHost) {
  test::WriteSimConfig(dir_.path(), {SecondPort()});
  Tool({"-i", "Local Area Connection 2", "--info"});
  Tool({"-d", "my report.xml"});
  Tool({"-i", "4:0.1", "--hwflags", "0"});
  Tool({"-x", "say \"hi\""});
  EXPECT_EQ(
      test::ReadCallLog(dir_.path()),
      (std::vector<std::string>{
          "nxflash.exe -i \"Local Area Connection 2\" --info", "nxflash.exe -d \"my report.xml\"",
          "nxflash.exe -i 4:0.1 --hwflags 0", "nxflash.exe -x \"say \\\"hi\\\"\""}));
}

TEST_F(ToolTest, UnknownArgumentsEndWithCode1) {
  test::WriteSimConfig(dir_.path(), {SimPort()});
  for (std::vector<std::string> args : {std::vector<std::string>{},
                                        {"-x"},
                                        {"-d"},
                                        {"-i", "4:0.0", "-f"},
                                        {"-i", "4:0.0", "--hwflags", "7"},
                                        {"-d", "a.xml", "extra"}}) {
    test::ProcessResult r = Tool(args);
    EXPECT_EQ(r.exit_code, 1) << testing::PrintToString(args);
    EXPECT_TRUE(Contains(r.output, "Unknown arguments")) << r.output;
  }
  EXPECT_FALSE(test::Exists(LockFile()));
}

TEST_F(ToolTest, LockFileExistsWhileTheToolRuns) {
  SimFaults slow;
  slow.delay_ms = 1500;
  test::WriteSimConfig(dir_.path(), {SimPort()}, slow);
  std::atomic<bool> done{false};
  std::thread run([&] {
    Tool({"-i", "NIC1", "--info"});
    done = true;
  });
  bool seen = false;
  while (!done && !seen) {
    seen = test::Exists(LockFile());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.join();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(test::Exists(LockFile()));

  SimFaults keep;
  keep.keep_lock = true;
  test::WriteSimConfig(dir_.path(), {SimPort()}, keep);
  EXPECT_EQ(Tool({"-i", "NIC1", "--info"}).exit_code, 0);
  EXPECT_TRUE(test::Exists(LockFile()));
}

TEST_F(ToolTest, DiscoveryFaults) {
  SimFaults faults;
  faults.discovery_exit = 4;
  test::WriteSimConfig(dir_.path(), {SimPort()}, faults);
  EXPECT_FALSE(Discover(4).IsNull());

  faults = SimFaults();
  faults.report_type = "VARORU_NIC";
  faults.fw_type = "nvram";
  test::WriteSimConfig(dir_.path(), {SimPort()}, faults);
  XmlNode root = Discover();
  EXPECT_EQ(Datum(root, "type"), "VARORU_NIC");
  EXPECT_EQ(Datum(root.FindChild("devices").ChildAt(0).FindChild("fw_item"), "type"), "nvram");

  faults = SimFaults();
  faults.report_malformed = true;
  test::WriteSimConfig(dir_.path(), {SimPort()}, faults);
  EXPECT_TRUE(Discover().IsNull());
  EXPECT_TRUE(test::Exists(File("report.xml")));

  faults = SimFaults();
  faults.report_missing = true;
  test::WriteSimConfig(dir_.path(), {SimPort()}, faults);
  platform::RemoveFile(File("report.xml"));
  EXPECT_TRUE(Discover().IsNull());
  EXPECT_FALSE(test::Exists(File("report.xml")));
}

TEST_F(ToolTest, ApplyingAReportFlashesThePortsNotSkipped) {
  SimPort other = SecondPort();
  test::WriteSimConfig(dir_.path(), {SimPort(), other});
  ASSERT_FALSE(Discover().IsNull());

  SimFaults faults;
  faults.apply_exit = 9;
  test::WriteSimConfig(dir_.path(), {SimPort(), other}, faults);
  EXPECT_EQ(Tool({"-u", "report.xml"}).exit_code, 9);
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "NIC1"), "4.0.534");

  test::WriteSimConfig(dir_.path(), {SimPort(), other});
  EXPECT_EQ(Tool({"-u", "report.xml"}).exit_code, 0);
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "NIC1"), "4.0.600");
  EXPECT_EQ(test::SimActiveVersion(dir_.path(), "Local Area Connection 2"), "4.0.555");
}

TEST_F(ToolTest, SamplePackageHoldsFourPortsAroundThePackageVersion) {
  test::WriteBytes(File("nxflash-sim.xml"),
                   test::ReadBytes(test::Join(test::SamplePackageDir(), "nxflash-sim.xml")));
  XmlNode devices = Discover().FindChild("devices");
  ASSERT_EQ(devices.ChildCount(), 4);
  std::vector<std::string> seen;
  for (int i = 0; i < devices.ChildCount(); ++i) {
    XmlNode device = devices.ChildAt(i);
    seen.push_back(Datum(device, "device_id") + " " + Datum(device, "busnumber") + ":" +
                   Datum(device, "devicenumber") + "." + Datum(device, "funcnumber") + " " +
                   Datum(device.FindChild("fw_item"), "active_version"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"NIC1 4:0.0 4.0.556", "NIC2 4:0.1 4.0.600",
                                            "NIC3 5:0.0 4.0.700", "NIC4 5:0.1 4.0.555"}));
  EXPECT_TRUE(Contains(Tool({"-i", "NIC4", "--info"}).output,
                       "Hardware Flags (iPE/dPE) ....... set to 1\n"));
}

}  // namespace
