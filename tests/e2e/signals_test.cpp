// Interrupts and the standard descriptors on POSIX, through the real executable and the
// substitute flash tool. (The Windows build's interrupts: tests/windows_interrupts.py.)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <functional>

#include <gtest/gtest.h>

#include "messages/messages.h"
#include "platform/platform.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using Calls = std::vector<std::string>;

using test::Contains;

// The utility as a shell starts a foreground job: leader of its own process group, standard
// input a pipe left open (a question waits), output discarded. prepare runs in the child
// before the program starts. Wait gives the exit code, or 128 + the signal that ended it.
class Job {
 public:
  Job(const std::vector<std::string>& args, const std::string& dir, void (*prepare)() = nullptr) {
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      int null = open("/dev/null", O_WRONLY);
      dup2(input[0], 0);
      dup2(null, 1);
      dup2(null, 2);
      if (prepare) prepare();
      std::vector<std::string> argv{test::UtilityPath()};
      argv.insert(argv.end(), args.begin(), args.end());
      std::vector<char*> raw;
      for (std::string& a : argv) raw.push_back(&a[0]);
      raw.push_back(nullptr);
      if (chdir(dir.c_str()) == 0) execv(raw[0], raw.data());
      _exit(127);
    }
    setpgid(pid_, pid_);  // from here too, so the group exists before any signal
    close(input[0]);
    input_ = input[1];
  }
  ~Job() { Wait(); }
  void SignalGroup(int signal) { kill(-pid_, signal); }  // as a terminal sends Ctrl-C
  int Wait() {
    if (pid_ <= 0) return code_;
    close(input_);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
    return code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int code_ = -1;
};

test::SimPort Port(const std::string& id, const std::string& bus, const std::string& version) {
  test::SimPort p;
  p.device_id = id;
  p.bus = bus;
  p.macaddress = "00:0E:1E:00:00:0" + bus;
  p.active_version = version;
  p.hwflags = "2";  // a post-run check would reset it
  return p;
}

using SignalTest = test::PackageTest;

// Each interrupt reaches the utility's whole process group while a tool call runs (or at a
// question); that call ends normally and no other begins.
TEST_F(SignalTest, InterruptsNeverCutAFlash) {
  const std::string d = "nxflash.exe -d tempNicList.xml", flash = "nxflash.exe -i 4:0.0 -f -a";
  struct Case {
    std::vector<std::string> args;
    int signal;
    size_t during_call;  // 0: at the first question
    int code;
    Calls calls;
    const char* logged;
    const char* record;  // its outcome, reason and each port's outcome
  } cases[] = {
      {{},
       SIGINT,
       0,
       3,
       {d},
       "answered q.\n\nFirmware upgrade cancelled by User \n",
       "interrupted at-question not-attempted not-attempted"},
      {{"-s", "-f"},
       SIGTERM,
       2,
       0,
       {d, flash},
       "(5:0.0) was not updated.\n\nNIC firmware update",
       "interrupted before-flash updated not-attempted"},
      {{"-s", "-f"},
       SIGQUIT,
       2,
       0,
       {d, flash},
       "(5:0.0) was not updated.\n\nNIC firmware update",
       "interrupted before-flash updated not-attempted"},
      {{"-s"},
       SIGHUP,
       1,
       0,
       {d},
       "\nInterrupted: the run ends after the device discovery.\n",
       "interrupted after-discovery not-attempted not-attempted"},
      // The mode had ended: its outcome stands.
      {{"-c"},
       SIGINT,
       2,
       0,
       {d, d},
       "Interrupted: the iPE/dPE setting verification ends here.\n",
       "shown shown not-attempted not-attempted"},
      // A session that drops, a stray kill: any signal that would end the process.
      {{"-s", "-f"},
       SIGHUP,
       2,
       0,
       {d, flash},
       "(5:0.0) was not updated.\n\nNIC firmware update",
       "interrupted before-flash updated not-attempted"},
      {{"-s", "-f"},
       SIGUSR1,
       2,
       0,
       {d, flash},
       "(5:0.0) was not updated.\n\nNIC firmware update",
       "interrupted before-flash updated not-attempted"},
      {{"-s", "-f"},
       SIGALRM,
       2,
       0,
       {d, flash},
       "(5:0.0) was not updated.\n\nNIC firmware update",
       "interrupted before-flash updated not-attempted"},
      {{},
       SIGUSR2,
       0,
       3,
       {d},
       "answered q.\n\nFirmware upgrade cancelled by User \n",
       "interrupted at-question not-attempted not-attempted"},
      {{"-s"},
       SIGXCPU,
       1,
       0,
       {d},
       "\nInterrupted: the run ends after the device discovery.\n",
       "interrupted after-discovery not-attempted not-attempted"},
  };
  test::SimFaults slow;
  slow.delay_ms = 400;
  for (const Case& c : cases) {
    test::WriteSimConfig(package_dir(),
                         {Port("NIC1", "4", "4.0.555"), Port("NIC2", "5", "4.0.555")}, slow);
    test::RemoveIfPresent(PackageFile(test::kSimCallLogFile));
    test::RemoveIfPresent(LogPath());
    Job job(c.args, package_dir());
    for (int i = 0; i < 3000; ++i, platform::SleepMilliseconds(10)) {
      if (c.during_call ? test::ReadCallLog(package_dir()).size() >= c.during_call
                        : Contains(Log(), "y/n/q/c"))
        break;
    }
    job.SignalGroup(c.signal);
    EXPECT_EQ(job.Wait(), c.code) << c.logged;
    EXPECT_EQ(test::ReadCallLog(package_dir()), c.calls) << c.logged;
    bool flashed = c.calls.back() == flash;
    EXPECT_EQ(test::SimActiveVersion(package_dir(), "NIC1"), flashed ? "4.0.600" : "4.0.555");
    EXPECT_EQ(test::SimActiveVersion(package_dir(), "NIC2"), "4.0.555");
    EXPECT_EQ(test::SimHardwareFlags(package_dir(), "NIC1"), "2") << c.logged;
    std::string log = Log();
    EXPECT_TRUE(Contains(log, c.logged)) << log;
    EXPECT_TRUE(Contains(
        log, "The run was interrupted.\nExiting with code " + std::to_string(c.code) + "\n"))
        << log;
    nlohmann::json record = LastRecord();
    std::string told = record.value("outcome", "") + " " + record.value("reason", "");
    for (const nlohmann::json& port : record["ports"]) told += " " + port.value("outcome", "");
    EXPECT_EQ(told, c.record);
  }
}

// A closed standard output was taken by the log, so console lines landed in it; a reader that
// went away ended the run with SIGPIPE.
TEST_F(SignalTest, ClosedOrBrokenStandardOutputLeavesTheRunAlone) {
  struct Case {
    void (*prepare)();
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {[] { close(1); }, {"-c"}, 0},
      {[] {
         int ends[2];
         if (pipe(ends) == 0 && close(ends[0]) == 0) dup2(ends[1], 1);
       },
       {"-f", "-y"},
       2},
  };
  for (const Case& c : cases) {
    test::WriteSimConfig(package_dir(), {Port("NIC1", "4", "4.0.556")});
    test::RemoveIfPresent(LogPath());
    EXPECT_EQ(Job(c.args, package_dir(), c.prepare).Wait(), c.code);
    std::string log = Log();
    EXPECT_EQ(log.find(msg::kProgramTitle), log.rfind(msg::kProgramTitle)) << log;  // once
    EXPECT_TRUE(Contains(log, "Exiting with code " + std::to_string(c.code) + "\n")) << log;
  }
}

}  // namespace
