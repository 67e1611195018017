// Process safety on POSIX: standard descriptors, signals, links and the instance lock.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fstream>
#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

// Set by the signal handler, read by the run at its safe points.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void NoteInterrupt(int) {
  interrupted = 1;
}

#ifdef __linux__
// Connections to the lock that later runs make to learn who holds it; none is ever accepted,
// so the queue is as long as the host allows.
constexpr int kLockBacklog = SOMAXCONN;

std::string UserName(uid_t uid) {
  passwd entry;
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
    return found->pw_name;
  return std::to_string(uid);
}

std::string CommandName(const std::string& process) {
  std::ifstream in("/proc/" + process + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// True when the process runs this same program: its executable is ours, or, where another
// user's process hides its executable, its command name is.
bool RunsThisProgram(long long pid) {
  std::string process = std::to_string(pid);
  struct stat mine, theirs;
  if (stat("/proc/self/exe", &mine) == 0 &&
      stat(("/proc/" + process + "/exe").c_str(), &theirs) == 0)
    return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
  std::string name = CommandName(process);
  return !name.empty() && name == CommandName("self");
}

// Asks the holder of the name who it is: a run of the utility listens there, so the kernel
// answers for it with the peer's credentials; a name that is only bound refuses.
InstanceLock::Holder AskHolder(const sockaddr_un& address, socklen_t length) {
  InstanceLock::Holder holder;
  holder.name =
      "@" + std::string(address.sun_path + 1, length - offsetof(sockaddr_un, sun_path) - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return holder;
  using Kind = InstanceLock::Holder::Kind;
  ucred peer = {};
  socklen_t size = sizeof peer;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    // Refused: bound, but not listening as the utility's lock does. A full queue answers,
    // but who it is cannot be read now.
    if (errno != EAGAIN) holder.kind = Kind::kOtherProgram;
  } else if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0) {
    holder.process = peer.pid;
    holder.user = UserName(peer.uid);
    holder.kind = RunsThisProgram(peer.pid) ? Kind::kUtilityRun : Kind::kOtherProgram;
  }
  close(fd);
  return holder;
}
#else
// Where no abstract socket names exist, a file at a fixed system path serves instead: no
// user setting moves it, a link or a FIFO put in its place is refused, and opening never
// waits.
int OpenLockFile(const std::string& name) {
  std::string path = "/var/run/" + name + ".lock";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  struct stat status;
  if (fd >= 0 && (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}
#endif

// Every signal whose default would end the process, but those that report a fault of the
// process itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS), which it cannot
// outlive, and SIGPIPE, which GuardStandardStreams ignores: a session that drops (SIGHUP) or a
// stray kill must not cut a run short of its closing lines either.
std::vector<int> TerminatingSignals() {
  std::vector<int> signals = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
                              SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};
#ifdef __linux__
  // Elsewhere SIGIO is discarded by default, and the other two do not exist.
  signals.insert(signals.end(), {SIGIO, SIGPWR, SIGSTKFLT});
#endif
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
#endif
  return signals;
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
  for (int signal : TerminatingSignals()) {
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

std::optional<std::string> LinkTarget(const std::string& path) {
  char target[4096];
  ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::nullopt;
  std::string name(target, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (name[0] == '/' || slash == std::string::npos) return name;
  return path.substr(0, slash + 1) + name;
}

InstanceLock::~InstanceLock() {
  if (taken_) close(static_cast<int>(handle_));  // closing lets go of the lock
}

#ifdef __linux__
// An abstract socket name: one per network namespace, the same for every user and every
// setting, never a file that could be moved, replaced or left behind, and released by the
// kernel with the last descriptor, however the process ends.
Expected<void, InstanceLock::Failure> InstanceLock::Take(const std::string& name) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() >= sizeof address.sun_path)
    return MakeError(Failure::kUnavailable);
  name.copy(address.sun_path + 1, name.size());  // sun_path[0] stays '\0': abstract
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return MakeError(Failure::kUnavailable);
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    int error = errno;
    close(fd);
    if (error != EADDRINUSE) return MakeError(Failure::kUnavailable);
    holder_ = AskHolder(address, length);
    return MakeError(Failure::kHeldElsewhere);
  }
  // Bound is held; listening only lets a later run learn who holds it.
  listen(fd, kLockBacklog);
  handle_ = fd;
  taken_ = true;
  return {};
}
#else
Expected<void, InstanceLock::Failure> InstanceLock::Take(const std::string& name) {
  int fd = OpenLockFile(name);
  if (fd < 0) return MakeError(Failure::kUnavailable);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int error = errno;
    close(fd);
    holder_.name = "/var/run/" + name + ".lock";
    return MakeError(error == EWOULDBLOCK ? Failure::kHeldElsewhere : Failure::kUnavailable);
  }
  handle_ = fd;
  taken_ = true;
  return {};
}
#endif

SystemResult<FileId> InstanceLock::Identity() const {
  struct stat status;
  if (!taken_ || fstat(static_cast<int>(handle_), &status) != 0 || !S_ISREG(status.st_mode))
    return Error<SystemError>{};
  return FileId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace platform
