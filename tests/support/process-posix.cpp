#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"
#include "support/files.h"
#include "support/process.h"

namespace test {
namespace {

// In a forked child: runs the program in the directory, or ends the child.
[[noreturn]] void ExecIn(const std::vector<std::string>& argv, const std::string& directory,
                         size_t limit_mb = 0) {
  if (limit_mb > 0) {
    rlimit limit{limit_mb << 20, limit_mb << 20};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(125);
  }
  if (chdir(directory.c_str()) != 0) _exit(126);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

ProcessResult RunLimited(const std::vector<std::string>& argv, const std::string& directory,
                         const std::string& input, size_t limit_mb, unsigned seconds = 0) {
  ProcessResult result;
  int in_pipe[2];
  int out_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(out_pipe[1], 2);
    close(in_pipe[0]);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(out_pipe[1]);
    ExecIn(argv, directory, limit_mb);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  // Small inputs fit the pipe, so writing all before reading cannot block.
  ssize_t ignored = write(in_pipe[1], input.data(), input.size());
  (void)ignored;
  close(in_pipe[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  char buffer[4096];
  for (;;) {
    int wait_ms = -1;
    if (seconds > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait_ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }
    pollfd ready{out_pipe[0], POLLIN, 0};
    int polled = poll(&ready, 1, wait_ms);
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      // Its output may stay open in a child it left behind, so the program is not waited for
      // by its output but ended.
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    ssize_t n = read(out_pipe[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(out_pipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) && !result.timed_out ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& directory,
                         const std::string& input, unsigned time_limit_seconds) {
  return RunLimited(argv, directory, input, 0, time_limit_seconds);
}

bool RunProcessWithMemoryLimit(const std::vector<std::string>& argv, const std::string& directory,
                               size_t limit_mb, ProcessResult* result) {
  *result = RunLimited(argv, directory, "", limit_mb);
  return true;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::string& directory) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    ExecIn(argv, directory);
  }
  handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(pid));
}

BackgroundProcess::~BackgroundProcess() {
  Wait();
}

int BackgroundProcess::Wait() {
  if (waited_) return exit_code_;
  waited_ = true;
  pid_t pid = static_cast<pid_t>(reinterpret_cast<intptr_t>(handle_));
  if (pid <= 0) return exit_code_;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exit_code_;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  return symlink(target.c_str(), link.c_str()) == 0 && platform::IsLink(link);
}

bool SetHostVersionForUtility(const std::string&) {
  return false;
}

bool RunProcessOnTerminal(const std::vector<std::string>& argv, const std::string& directory,
                          ProcessResult* result) {
  *result = ProcessResult();
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
  std::string slave_name = ptsname(master);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int slave = open(slave_name.c_str(), O_RDWR);
    if (slave < 0) _exit(125);
    termios mode;
    if (tcgetattr(slave, &mode) == 0) {
      cfmakeraw(&mode);  // bytes pass as written: no CR added to a line feed
      tcsetattr(slave, TCSANOW, &mode);
    }
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    if (slave > 2) close(slave);
    close(master);
    ExecIn(argv, directory);
  }
  char buffer[4096];
  ssize_t n;
  // The terminal ends with EIO once the last holder of its other side has gone.
  while ((n = read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) result->output.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result->exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return true;
}

PipeServer::PipeServer(const std::string&) {}

PipeServer::~PipeServer() {}

bool PipeServer::Opened() const {
  return handle_ != nullptr;  // never: POSIX hosts have no such pipes
}

ForeignLockHolder::ForeignLockHolder(const std::string& name) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  name.copy(address.sun_path + 1, name.size());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  handle_ = fd;
  held_ = bind(fd, reinterpret_cast<const sockaddr*>(&address),
               static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0;
}

ForeignLockHolder::~ForeignLockHolder() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

}  // namespace test
