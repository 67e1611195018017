// One run at a time, and no file written through a link: through the real executable and the
// substitute flash tool.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "support/files.h"
#include "support/package.h"
#include "support/process.h"
#include "support/sim.h"

namespace {

using test::SimPort;
using Calls = std::vector<std::string>;

const std::string kDiscovery = "nxflash.exe -d tempNicList.xml";

using test::Contains;

using OneRunTest = test::PackageTest;

bool IsWindowsHost() {
  return platform::PathSeparator() == '\\';
}

std::string MutexOwned() {
  return "Error: the single-instance lock (mutex Global\\Quorvane-single-instance) is owned by "
         "another process: another run of the utility, or a program that took the mutex.\n";
}

// A lock that another program holds is told as such, not as a tool that is running; the
// run ends with 0 before its banner.
TEST_F(OneRunTest, LockHeldByAnotherProgramIsToldAsSuch) {
  platform::InstanceLock held;
  ASSERT_TRUE(held.Take("Quorvane-single-instance"));
  test::ProcessResult r = Run({"-s", "-f"});
  EXPECT_EQ(r.exit_code, 0);
  std::string expected = MutexOwned();
  if (!IsWindowsHost()) {
    const std::string self = std::filesystem::read_symlink("/proc/self").string();
    expected =
        "Error: the single-instance lock is held by another program (process " + self + ").\n";
  }
  std::string log = Log();
  EXPECT_TRUE(Contains(log, expected)) << log;
  EXPECT_FALSE(Contains(log, "Upgrade began")) << log;
}

// A name held by a program that does not hold it the utility's way, as another user's program
// might: told as such, and the run ends with 0 before its banner.
TEST_F(OneRunTest, LockNameHeldOtherwiseIsToldAsSuch) {
  test::ForeignLockHolder held("Quorvane-single-instance");
  ASSERT_TRUE(held.held());
  test::ProcessResult r = Run({"-s", "-f"});
  EXPECT_EQ(r.exit_code, 0);
  std::string log = Log();
  EXPECT_TRUE(Contains(
      log, IsWindowsHost()
               ? "Error: the single-instance lock (mutex Global\\Quorvane-single-instance) is "
                 "held open by another program, which does not own it as the utility does.\n"
               : "Error: the single-instance lock @Quorvane-single-instance is held by another "
                 "program, which does not answer as the utility does.\n"))
      << log;
  EXPECT_FALSE(Contains(log, "Upgrade began")) << log;
  EXPECT_TRUE(test::ReadCallLog(package_dir()).empty());
  EXPECT_TRUE(test::ReadCallLog(package_dir()).empty());
}

// Two runs that both got past the check of the tool's lock file (no tool had made it yet)
// used to flash the same port twice.
TEST_F(OneRunTest, SecondRunStopsWhileTheFirstIsUnderWay) {
  test::SimFaults faults;
  faults.no_lock = true;
  faults.delay_ms = 1000;
  SimPort port;
  port.active_version = "4.0.556";  // above the driver rule's threshold
  test::WriteSimConfig(package_dir(), {port}, faults);
  test::BackgroundProcess first({test::UtilityPath(), "-s", "-f"}, package_dir());
  for (int i = 0; i < 3000 && test::ReadCallLog(package_dir()).empty(); ++i)
    platform::SleepMilliseconds(10);
  ASSERT_FALSE(test::ReadCallLog(package_dir()).empty());  // its discovery is running

  test::ProcessResult second = Run({"-s", "-f"});
  EXPECT_EQ(first.Wait(), 2);
  EXPECT_EQ(second.exit_code, 0);
  std::string log = Log();
  EXPECT_TRUE(
      Contains(log, IsWindowsHost() ? MutexOwned() : "Error: another run of the utility (process "))
      << log;
  EXPECT_TRUE(Contains(log, " holds the single-instance lock.\n") || IsWindowsHost()) << log;
  EXPECT_FALSE(Contains(log, "RavAre tool is already running")) << log;
  EXPECT_EQ(log.find("Upgrade began"), log.rfind("Upgrade began")) << log;  // one run only
  EXPECT_EQ(test::ReadCallLog(package_dir()),
            (Calls{kDiscovery, "nxflash.exe -i 4:0.0 -f -a", kDiscovery}));
}

// What a link points to is left as it was; the refused capture is a failed query.
TEST_F(OneRunTest, NoFileIsWrittenThroughALink) {
  struct Case {
    const char* link;
    std::vector<std::string> args;
    const char* also_logged;
  } cases[] = {
      {"hwflagStatus.dat", {"-c"}, "Failed to create file\n"},
      {"version.xml", {"-s", "-v", "version.xml"}, ""},
  };
  SimPort port;
  port.active_version = "4.0.555";
  port.hwflags = "2";
  const std::string kept = PackageFile("kept.txt");
  for (const Case& c : cases) {
    test::WriteSimConfig(package_dir(), {port});
    test::WriteBytes(kept, "kept");
    if (!test::MakeSymbolicLink(kept, PackageFile(c.link))) GTEST_SKIP() << "no links here";
    test::RemoveIfPresent(LogPath());
    Run(c.args);
    EXPECT_EQ(test::ReadBytes(kept), "kept") << c.link;
    EXPECT_TRUE(platform::IsLink(PackageFile(c.link))) << c.link;
    std::string log = Log();
    EXPECT_TRUE(Contains(log, std::string("Error: ") + c.link +
                                  " is a link; files are never written through a link.\n" +
                                  c.also_logged))
        << log;
    test::RemoveIfPresent(PackageFile(c.link));
  }
  // A link at the log's path, dangling or not, leaves the run without a log.
  for (const std::string& target : {kept, PackageFile("nowhere.log")}) {
    test::RemoveIfPresent(LogPath());
    ASSERT_TRUE(test::MakeSymbolicLink(target, LogPath()));
    test::ProcessResult r = Run({"-c"});
    EXPECT_TRUE(Contains(r.output, "Error: the log file " + LogPath() + " cannot be opened"))
        << r.output;
    EXPECT_EQ(test::ReadBytes(kept), "kept");
    EXPECT_FALSE(test::Exists(PackageFile("nowhere.log")));
  }
  test::RemoveIfPresent(LogPath());
  // Nor is the run record written through one: one line tells it, unless -s, and the exit
  // code stays.
  test::RemoveIfPresent(RecordPath());
  ASSERT_TRUE(test::MakeSymbolicLink(kept, RecordPath()));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-c"}, {"-s", "-c"}}) {
    test::ProcessResult r = Run(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(Contains(r.output, "Error: the run record cannot be written to " + RecordPath()),
              args.size() == 1)
        << r.output;
    EXPECT_EQ(test::ReadBytes(kept), "kept");
  }
  test::RemoveIfPresent(RecordPath());
}

}  // namespace
