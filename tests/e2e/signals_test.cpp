// The standard descriptors on POSIX, through the real executable and the substitute flash
// tool.
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

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
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
  return p;
}

using SignalTest = test::PackageTest;

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
