// Interrupts and the standard descriptors on POSIX, through the real executable and the
// substitute flash tool. (Wine delivers no console interrupt to the Windows build.)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>

#include <gtest/gtest.h>

#include "messages/messages.h"
#include "platform/platform.h"
#include "support/files.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::SimPort;
using Calls = std::vector<std::string>;

const std::string kDiscovery = "nxflash.exe -d tempNicList.xml";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

bool WaitUntil(const std::function<bool()>& ready) {
  for (int i = 0; i < 3000; ++i) {
    if (ready()) return true;
    platform::SleepMilliseconds(10);
  }
  return false;
}

// The utility started as a shell starts a foreground job: leader of its own process group,
// standard input a pipe kept open (so a question waits), output discarded. prepare runs in
// the child just before the program, to change the descriptors.
class Job {
 public:
  Job(
      const std::vector<std::string>& args, const std::string& directory,
      const std::function<void()>& prepare = [] {}) {
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      int null = open("/dev/null", O_WRONLY);
      dup2(input[0], 0);
      dup2(null, 1);
      dup2(null, 2);
      prepare();
      std::vector<std::string> argv{test::UtilityPath()};
      argv.insert(argv.end(), args.begin(), args.end());
      std::vector<char*> raw;
      for (std::string& a : argv) raw.push_back(&a[0]);
      raw.push_back(nullptr);
      if (chdir(directory.c_str()) == 0) execv(raw[0], raw.data());
      _exit(127);
    }
    setpgid(pid_, pid_);  // from here too, so the group exists before any signal
    close(input[0]);
    input_ = input[1];
  }
  ~Job() { Wait(); }

  // To the whole group, as a terminal sends Ctrl-C.
  void Signal(int signal) { kill(-pid_, signal); }

  // The exit code, or 128 + the signal that ended the utility.
  int Wait() {
    if (pid_ <= 0) return code_;
    if (input_ >= 0) close(input_);
    input_ = -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return code_;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int code_ = -1;
};

SimPort Port(const std::string& id, const std::string& bus, const std::string& version) {
  SimPort p;
  p.device_id = id;
  p.bus = bus;
  p.macaddress = "00:0E:1E:00:00:0" + bus;
  p.active_version = version;
  p.hwflags = "2";  // a post-run check would reset it
  return p;
}

class SignalTest : public test::PackageTest {
 protected:
  std::string Version(const std::string& id) const {
    return test::SimActiveVersion(package_dir(), id);
  }
};

TEST_F(SignalTest, InterruptsNeverCutAFlash) {
  const std::string flash4 = "nxflash.exe -i 4:0.0 -f -a";
  struct Case {
    const char* when;
    std::vector<std::string> args;
    int signal;
    size_t after_calls;  // interrupt while this tool call runs; 0: at the first question
    int code;
    Calls calls;
    std::vector<std::string> logged;
  } cases[] = {
      {"at a question",
       {},
       SIGINT,
       0,
       3,
       {kDiscovery},
       {"\nInterrupted: the question is answered q.\n", "\nFirmware upgrade cancelled by User \n"}},
      {"during a flash",
       {"-s", "-f"},
       SIGTERM,
       2,
       0,
       {kDiscovery, flash4},
       {"\nInterrupted: no further port is flashed.\nMAC 00:0E:1E:00:00:05 (5:0.0) was not "
        "updated.\n",
        "\nNIC firmware update completed with errors. \n"}},
      {"during discovery",
       {"-s"},
       SIGHUP,
       1,
       0,
       {kDiscovery},
       {"\nInterrupted: the run ends after the device discovery.\n"}},
      {"during the post-run check",
       {"-c"},
       SIGINT,
       2,
       0,
       {kDiscovery, kDiscovery},
       {"Interrupted: the iPE/dPE setting verification ends here.\n"}},
  };
  test::SimFaults slow;
  slow.delay_ms = 400;
  for (const Case& c : cases) {
    test::WriteSimConfig(package_dir(),
                         {Port("NIC1", "4", "4.0.555"), Port("NIC2", "5", "4.0.555")}, slow);
    platform::RemoveFile(PackageFile(test::kSimCallLogFile));
    platform::RemoveFile(LogPath());
    Job job(c.args, package_dir());
    bool reached = WaitUntil([&] {
      return c.after_calls ? test::ReadCallLog(package_dir()).size() >= c.after_calls
                           : Contains(Log(), "y/n/q/c");
    });
    ASSERT_TRUE(reached) << c.when;
    job.Signal(c.signal);
    EXPECT_EQ(job.Wait(), c.code) << c.when;
    // The running call ended normally and no other began.
    EXPECT_EQ(test::ReadCallLog(package_dir()), c.calls) << c.when;
    bool flashed = c.calls.size() > 1 && c.calls[1] == flash4;
    EXPECT_EQ(Version("NIC1"), flashed ? "4.0.600" : "4.0.555") << c.when;
    EXPECT_EQ(Version("NIC2"), "4.0.555") << c.when;
    EXPECT_EQ(test::SimHardwareFlags(package_dir(), "NIC1"), "2") << c.when;
    std::string log = Log();
    for (const std::string& text : c.logged) EXPECT_TRUE(Contains(log, text)) << c.when << log;
    EXPECT_TRUE(Contains(
        log, "The run was interrupted.\nExiting with code " + std::to_string(c.code) + "\n"))
        << c.when << log;
  }
}

// A closed standard descriptor was taken by the log, so console lines landed in it; a reader
// that went away ended the run with SIGPIPE.
TEST_F(SignalTest, ClosedOrBrokenStandardStreamsLeaveTheRunAlone) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {"output closed", [] { close(1); }, {"-c"}, 0},
      {"all three closed",
       [] {
         for (int fd = 0; fd <= 2; ++fd) close(fd);
       },
       {"-c"},
       0},
      {"output into a pipe nobody reads",
       [] {
         int ends[2];
         if (pipe(ends) == 0) {
           close(ends[0]);
           dup2(ends[1], 1);
         }
       },
       {"-f", "-y"},
       2},
  };
  for (const Case& c : cases) {
    test::WriteSimConfig(package_dir(), {Port("NIC1", "4", "4.0.556")});
    platform::RemoveFile(LogPath());
    Job job(c.args, package_dir(), c.prepare);
    EXPECT_EQ(job.Wait(), c.code) << c.what;
    std::string log = Log();
    EXPECT_EQ(Count(log, msg::kProgramTitle), 1u) << c.what << log;  // the banner, once
    EXPECT_TRUE(Contains(log, "Exiting with code " + std::to_string(c.code) + "\n"))
        << c.what << log;
  }
}

}  // namespace
