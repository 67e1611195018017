// Process safety on POSIX: standard descriptors, signals, links and the instance lock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/platform.h"

namespace platform {
namespace {

// Set by the signal handler, read by the run at its safe points.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void NoteInterrupt(int) {
  interrupted = 1;
}

// Opens the lock file, creating it when missing. An existing file is opened without O_CREAT,
// which protected sticky directories refuse on another user's file; read access suffices for
// flock, so one file serves every user. The lock file is never followed through a link.
int OpenLockFile(const std::string& path) {
  const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC;
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = open(path.c_str(), flags);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      fchmod(fd, 0644);  // whatever the umask, other users may open it too
      return fd;
    }
    if (errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

void GuardStandardStreams() {
  // Lowest first: open returns the lowest free descriptor, which is the closed one.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

void CatchInterrupts() {
  struct sigaction action = {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read waiting at a question must return
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old = {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;  // nohup
    sigaction(signal, &action, nullptr);
  }
}

bool InterruptRequested() {
  return interrupted != 0;
}

bool ReadWasInterrupted() {
  return InterruptRequested();
}

bool IsLink(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

InstanceLock::~InstanceLock() {
  if (taken_) close(static_cast<int>(handle_));  // closing lets go of the flock
}

InstanceLock::Result InstanceLock::Take(const std::string& name) {
  std::string temp = TempDirectory();
  if (temp.empty()) return Result::kUnavailable;
  int fd = OpenLockFile(temp + name + ".lock");
  if (fd < 0) return errno == EACCES ? Result::kHeldElsewhere : Result::kUnavailable;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kUnavailable;
  }
  handle_ = fd;
  taken_ = true;
  return Result::kTaken;
}

bool InstanceLock::Identity(FileId* id) const {
  struct stat status;
  if (!taken_ || fstat(static_cast<int>(handle_), &status) != 0 || !S_ISREG(status.st_mode))
    return false;
  *id = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return true;
}

}  // namespace platform
