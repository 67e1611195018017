// Runs that used to flash the wrong ports, lose files or hide failures, through the real
// executable and the substitute tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/platform.h"
#include "support/package.h"
#include "support/process.h"
#include "support/sanitizers.h"
#include "support/sim.h"

namespace {

using test::SimPort;
using Calls = std::vector<std::string>;

const std::string kDiscovery = "nxflash.exe -d tempNicList.xml";

using test::Contains;

constexpr auto& Port = test::SimPortAt;

class SafetyTest : public test::PackageTest {
 protected:
  void Ports(const std::vector<SimPort>& ports, const test::SimFaults& faults = {}) {
    test::WriteSimConfig(package_dir(), ports, faults);
    test::RemoveIfPresent(PackageFile(test::kSimCallLogFile));
  }
  Calls ToolCalls() const { return test::ReadCallLog(package_dir()); }
  Calls Flashes() const { return test::ReadFlashCalls(package_dir()); }
};

TEST_F(SafetyTest, ARefusedReportFlashesNothingWhereverItsTypeStands) {
  test::SimFaults refused;
  refused.report_type = "VARORU_NIC";
  refused.type_after_devices = true;
  Ports({Port("NIC1", "4", "4.0.556")}, refused);
  test::ProcessResult r = Run({"-s"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Flashes().empty());
  EXPECT_TRUE(
      Contains(Log(), "This VRIT tool can only be used to update P3-series VAroru NICs.\n"));
}

TEST_F(SafetyTest, APortListedTwiceIsFlashedOnce) {
  SimPort twin = Port("NIC9", "4", "4.0.556");  // the same bus:device.function as NIC1
  Ports({Port("NIC1", "4", "4.0.556"), twin});
  test::ProcessResult r = Run({"-s"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(Flashes(), Calls{"nxflash.exe -i 4:0.0 -f -a"});
  EXPECT_TRUE(Contains(Log(), "Warning!!! - Port 4:0.0 (device NIC9) is listed more than once"));
}

TEST_F(SafetyTest, VersionsCompareAsTheyAreShown) {
  std::string catalog = test::ReadText(PackageFile("NICFWData.xml"));
  size_t at = catalog.find("4.0.600");
  ASSERT_NE(at, std::string::npos);
  test::WriteBytes(PackageFile("NICFWData.xml"), catalog.replace(at, 7, "4.0.-1"));
  Ports({Port("NIC1", "4", "4.0.556"), Port("NIC2", "5", "4.0.700")});
  test::ProcessResult r = Run({"-s"});
  EXPECT_EQ(r.exit_code, 3);  // both ports are newer than 4.0.-1
  EXPECT_TRUE(Flashes().empty());
}

// Report names aimed at the package's own files are refused before anything runs;
// absolute paths and ".." elsewhere stay allowed.
TEST_F(SafetyTest, ReportsNeverReplaceThePackagesFiles) {
  const std::string catalog = test::ReadText(PackageFile("NICFWData.xml"));
  const std::string sub = PackageFile("sub");
  ASSERT_TRUE(platform::MakeDirectory(sub));
  for (const char* option : {"-d", "-v"}) {
    for (const std::string& name :
         {std::string("NICFWData.xml"), std::string("nxflash.exe"), std::string("tempNicList.xml"),
          std::string("hwflagStatus.dat"),
          test::Join("sub", "..") + platform::PathSeparator() + "NICFWData.xml",
          PackageFile("NICFWData.xml"), test::UtilityPath(), test::ToolPath(),
          test::Join(temp_dir(), "ravare_lock_file"), std::string("p3fw_4_0_600.bin"), LogPath()}) {
      Ports({Port("NIC1", "4", "4.0.556")});
      test::ProcessResult r = Run({option, name});
      EXPECT_EQ(r.exit_code, 0) << option << " " << name;
      EXPECT_TRUE(Contains(r.output, "USAGE: ")) << name;
      EXPECT_TRUE(Contains(r.output, "Error: " + name +
                                         " is a file of the package or of the utility and "
                                         "cannot be a report file.\n"))
          << r.output;
      EXPECT_TRUE(ToolCalls().empty()) << name;
      EXPECT_EQ(test::ReadText(PackageFile("NICFWData.xml")), catalog);
      EXPECT_TRUE(test::Exists(test::ToolPath()));
    }
  }
  Ports({Port("NIC1", "4", "4.0.556")});
  std::string elsewhere = test::Join(sub, "..") + platform::PathSeparator() + "report.xml";
  EXPECT_EQ(Run({"-d", elsewhere}).exit_code, 1);
  EXPECT_TRUE(test::Exists(PackageFile("report.xml")));
}

// The catalog is data: a firmware image name that could reach past the package directory (a
// folder, a drive, a pipe, another host, a device) is never opened and guards nothing; the
// log says so, and a report may take that name.
TEST_F(SafetyTest, CatalogImageNamesStayInThePackage) {
  const std::string nested = test::Join("sub", "p3fw.bin");
  test::PipeServer pipe("quorvane-catalog-image");  // Windows: a server that sees any client
  const std::string foreign[] = {nested,
                                 "..",
                                 "../p3fw.bin",
                                 "C:p3fw.bin",
                                 "\\\\host\\share\\p3fw.bin",
                                 "NUL",
                                 "com1.bin",
                                 pipe.path().empty() ? "\\\\.\\pipe\\qv" : pipe.path()};
  std::string catalog = test::ReadText(PackageFile("NICFWData.xml"));
  std::string entries;
  int devid = 200;
  for (const std::string& name : foreign) {
    entries += "<nic name=\"X\" venid=\"4040\" devid=\"" + std::to_string(devid++) +
               "\" subvenid=\"1234\" subdevid=\"00AB\" rom=\"4.0.600\" fwFile=\"" + name + "\"/>";
  }
  catalog.insert(catalog.find("</nic>"), entries);
  test::WriteBytes(PackageFile("NICFWData.xml"), catalog);
  ASSERT_TRUE(platform::MakeDirectory(PackageFile("sub")));
  test::WriteBytes(PackageFile(nested), "old");
  Ports({Port("NIC1", "4", "4.0.556")});
  test::ProcessResult r = Run({"-d", nested});
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_FALSE(pipe.Opened());
  EXPECT_TRUE(Contains(test::ReadText(PackageFile(nested)), "zelt_rom_discovery"));
  const std::string log = Log();
  for (const std::string& name : foreign) {
    EXPECT_TRUE(Contains(log, "Warning!!! - The catalog names the firmware image " + name +
                                  ", which is not a plain file name of the package directory; "
                                  "it is taken as missing and never opened.\n"))
        << name << "\n"
        << log;
  }
}

// The report's directory is held from before the discovery, and the report is put in place
// by one rename in it: a link planted at its name, or a directory swapped for a link to the
// package while the tool runs, never leads the report over a file of the package.
TEST_F(SafetyTest, AReportCannotBeRedirectedAfterTheCheck) {
  namespace fs = std::filesystem;
  const std::string catalog_file = PackageFile("NICFWData.xml");
  const std::string catalog = test::ReadText(catalog_file);
  test::SimFaults slow;
  slow.delay_ms = 1000;
  auto run_while = [&](const std::string& report, const std::function<void()>& meanwhile) {
    Ports({Port("NIC1", "4", "4.0.556")}, slow);
    test::BackgroundProcess run({test::UtilityPath(), "-s", "-d", report}, package_dir());
    for (int i = 0; i < 3000 && ToolCalls().empty(); ++i) platform::SleepMilliseconds(10);
    EXPECT_FALSE(ToolCalls().empty()) << "the discovery never started";
    meanwhile();
    return run.Wait();
  };

  // A link to the catalog put at the report's name after the check is replaced, not followed.
  const std::string planted = PackageFile("r.xml");
  int code = run_while("r.xml", [&] { test::MakeSymbolicLink("NICFWData.xml", planted); });
  EXPECT_EQ(test::ReadText(catalog_file), catalog);
  if (platform::IsLink(planted) || test::Exists(planted)) {
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(platform::IsLink(planted));
    EXPECT_TRUE(Contains(test::ReadText(planted), "<zelt_rom_discovery"));
  }

  // The report's directory cannot be swapped while it is held (Windows); where it can be
  // renamed (POSIX), what takes its name is never where the report goes.
  const std::string sub = PackageFile("sub");
  ASSERT_TRUE(platform::MakeDirectory(sub));
  const std::string report = test::Join("sub", "NICFWData.xml");
  bool swapped = false;
  code = run_while(report, [&] {
    std::error_code ec;
    fs::rename(sub, sub + ".real", ec);
    swapped = !ec;
    if (swapped) {
      EXPECT_TRUE(test::MakeSymbolicLink(package_dir(), sub));
    }
  });
  EXPECT_EQ(test::ReadText(catalog_file), catalog);
  EXPECT_FALSE(test::Exists(PackageFile(".quorvane-report")));
  if (!swapped) {
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(Contains(test::ReadText(PackageFile(report)), "<zelt_rom_discovery"));
  } else {
    EXPECT_EQ(code, 0);  // the tool's path no longer reaches the private directory
    EXPECT_FALSE(test::Exists(test::Join(sub + ".real", "NICFWData.xml")));
    EXPECT_FALSE(test::Exists(test::Join(sub + ".real", ".quorvane-report")));
  }

  // A dangling link to a protected name is refused by its target's name, and never made.
  const std::string dangling = PackageFile("d.xml");
  if (test::MakeSymbolicLink("hwflagStatus.dat", dangling)) {
    Ports({Port("NIC1", "4", "4.0.556")});
    test::ProcessResult r = Run({"-d", "d.xml"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(Contains(r.output, "Error: d.xml is a file of the package or of the utility"))
        << r.output;
    EXPECT_FALSE(test::Exists(PackageFile("hwflagStatus.dat")));
    EXPECT_TRUE(ToolCalls().empty());
  }
}

TEST_F(SafetyTest, OneTypedLineAnswersOneQuestion) {
  Ports({Port("NIC1", "4", "4.0.556"), Port("NIC2", "5", "4.0.556")});
  // 79 "n" and a "y": the line answers no, and its rest does not answer the second port.
  EXPECT_EQ(Run({}, std::string(79, 'n') + "y\nn\n").exit_code, 3);
  EXPECT_TRUE(Flashes().empty());
  // Answers piped from a file with CR LF line ends read as typed.
  Ports({Port("NIC1", "4", "4.0.556"), Port("NIC2", "5", "4.0.556")});
  EXPECT_EQ(Run({}, "y\r\nn\r\n").exit_code, 2);
  EXPECT_EQ(Flashes(), Calls{"nxflash.exe -i 4:0.0 -f -a"});
}

TEST_F(SafetyTest, BlanksAroundAReportValueDoNotReachTheToolLine) {
  Ports({Port("NIC1", " 4", "4.0.556")});
  EXPECT_EQ(Run({"-s"}).exit_code, 2);
  EXPECT_EQ(Flashes(), Calls{"nxflash.exe -i 4:0.0 -f -a"});
}

// Failures that end with exit code 0 are also told on standard error, unless -s is given.
TEST_F(SafetyTest, FailuresReachStandardError) {
  Ports({Port("NIC1", "4", "4.0.556")});
  // A lock file nobody can delete stops the run at start-up.
  std::string lock = test::Join(temp_dir(), "ravare_lock_file");
  ASSERT_TRUE(platform::MakeDirectory(lock));
  const std::string refused =
      "Error: last session did not close gracefully.  Unable to clear lock.\n";
  EXPECT_EQ(Run({"-c"}).output, refused);
  EXPECT_EQ(Run({"-c", "-s"}).output, "");
  ASSERT_TRUE(test::RemoveDirectory(lock));

  // A log that cannot be opened: the run goes on, and says so once.
  test::RemoveIfPresent(LogPath());
  ASSERT_TRUE(platform::MakeDirectory(LogPath()));
  test::ProcessResult r = Run({"-c"});
  EXPECT_EQ(r.exit_code, 0);
  const std::string unlogged =
      "Error: the log file " + LogPath() + " cannot be opened; this run is not recorded.\n";
  EXPECT_EQ(r.output.rfind(unlogged), r.output.find(unlogged)) << r.output;
  EXPECT_TRUE(Contains(r.output, unlogged)) << r.output;
  EXPECT_FALSE(Contains(Run({"-c", "-s"}).output, unlogged));
  // Under Wine the system drive, and so the log, is shared by every test.
  EXPECT_TRUE(test::RemoveDirectory(LogPath()));
}

// A report too big for the memory the run may use ends the run through the unexpected-error
// message, on its own line, with the closing lines and no temporary file left behind.
TEST_F(SafetyTest, RunningOutOfMemoryEndsTheRunCleanly) {
#ifdef QV_ADDRESS_SANITIZER
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  const size_t limit_mb = 100;  // an ordinary run needs less than 20
  test::ProcessResult r;
  Ports({Port("NIC1", "4", "4.0.556")});
  if (!test::RunProcessWithMemoryLimit({test::UtilityPath(), "-c"}, package_dir(), limit_mb, &r))
    GTEST_SKIP() << "this host cannot limit the memory of one process";
  ASSERT_EQ(r.exit_code, 0) << "the limit leaves room for an ordinary run: " << r.output;
  ASSERT_TRUE(Contains(r.output, "00:0E:1E:00:00:04"));

  test::SimFaults huge;
  huge.message_mb = 60;
  Ports({Port("NIC1", "4", "4.0.556")}, huge);
  test::RemoveIfPresent(LogPath());
  ASSERT_TRUE(
      test::RunProcessWithMemoryLimit({test::UtilityPath(), "-c"}, package_dir(), limit_mb, &r));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  std::string log = Log();
  EXPECT_TRUE(Contains(log,
                       "An unexpected error has occurred.  Firmware update will not be "
                       "completed.\nstd::bad_alloc\nUpgrade completed: "))
      << log;
  EXPECT_TRUE(Contains(log, "Exiting with code 0\n"));
  EXPECT_FALSE(test::Exists(PackageFile("tempNicList.xml")));
}

}  // namespace
