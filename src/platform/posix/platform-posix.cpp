// The host layer on Linux: the same services as on Windows, with the system drive taken
// from SYSTEMDRIVE so that a run never needs the real root.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/pe_version.h"
#include "platform/platform.h"
#include "platform/posix/command_line_split.h"

extern char** environ;

namespace platform {
namespace {

constexpr size_t kMaxPath = 260;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The utility's own directory first, then the current directory, then PATH; none when no
// executable file has the name.
std::optional<std::string> FindProgram(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string::npos) {
    if (!IsExecutableFile(name)) return std::nullopt;
    return name;
  }
  std::optional<std::string> own = OwnExecutablePath();
  if (own && IsExecutableFile(DirectoryOf(*own) + "/" + name))
    return DirectoryOf(*own) + "/" + name;
  if (IsExecutableFile("./" + name)) return "./" + name;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (IsExecutableFile(dir + "/" + name)) return dir + "/" + name;
    start = end + 1;
  }
  return std::nullopt;
}

// A descriptor that turns readable when the child ends, or -1 where the kernel offers none.
int OpenChildDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Waits for the child to end; with a tick, sleeps until the child ends or the next whole
// second is due, so a long flash neither wakes the utility needlessly nor ends late. Without
// a descriptor for the child it falls back to looking every 20 ms. The value is the child's
// wait status.
SystemResult<int> WaitForChild(pid_t pid, const WaitTick& tick) {
  int status = 0;
  if (!tick) {
    while (waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) return MakeError(SystemError{errno});
    }
    return status;
  }
  const auto start = std::chrono::steady_clock::now();
  unsigned ticked = 0;
  int child = OpenChildDescriptor(pid);
  for (;;) {
    pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid || (ended < 0 && errno != EINTR)) {
      const int error = errno;
      if (child >= 0) close(child);
      if (ended != pid) return MakeError(SystemError{error});
      return status;
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (static_cast<unsigned>(elapsed.count() / 1000) > ticked) {
      ticked = static_cast<unsigned>(elapsed.count() / 1000);
      tick(ticked);
      elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
    }
    if (child < 0) {
      usleep(20 * 1000);
      continue;
    }
    pollfd ready = {child, POLLIN, 0};
    // An interrupt only wakes the wait early; the loop then waits on.
    if (poll(&ready, 1, static_cast<int>(1000 - elapsed.count() % 1000)) < 0 && errno != EINTR) {
      close(child);
      child = -1;
    }
  }
}

SystemResult<OpenedFileFacts> ReadDescriptorFacts(intptr_t handle) {
  struct stat status;
  if (fstat(static_cast<int>(handle), &status) != 0) return MakeError(SystemError{errno});
  OpenedFileFacts facts;
  facts.is_link = S_ISLNK(status.st_mode);
  facts.id = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return facts;
}

// Opens for writing without following a link at the name and without waiting for a FIFO's
// reader, judges the opened file, and only then empties it for kReplace.
Expected<int, OpenStatus> OpenWritable(const std::string& path, WriteMode mode,
                                       const FileIds& refused, FileFactsReader read_facts) {
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  if (mode == WriteMode::kAppend) flags |= O_APPEND;
  if (mode == WriteMode::kCreateNew) flags |= O_EXCL;
  int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) return MakeError(errno == ELOOP ? OpenStatus::kIsLink : OpenStatus::kFailed);
  const bool made = mode == WriteMode::kCreateNew;
  Expected<void, OpenStatus> judged = JudgeOpenedFile(
      fd, made ? FileIds() : refused, read_facts ? read_facts : ReadDescriptorFacts);
  // Only a file that may be written loses O_NONBLOCK and, for kReplace, its contents;
  // EINVAL from ftruncate: a device, which has nothing to empty.
  if (judged && (fcntl(fd, F_SETFL, flags & O_APPEND) != 0 ||
                 (mode == WriteMode::kReplace && ftruncate(fd, 0) != 0 && errno != EINVAL)))
    judged = MakeError(OpenStatus::kFailed);
  if (!judged) {
    close(fd);
    return judged.error();
  }
  return fd;
}

}  // namespace

void LoadLibrariesFromSystemOnly() {}

char PathSeparator() {
  return '/';
}

bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

std::string SystemDrive() {
  const char* drive = std::getenv("SYSTEMDRIVE");
  std::string text = drive ? drive : "";
  while (!text.empty() && text.back() == '/') text.pop_back();
  return text;
}

std::optional<std::string> SystemDirectory() {
  std::string dir = SystemDrive() + "/windows/system32";
  if (dir.size() >= kMaxPath) return std::nullopt;
  return dir;
}

std::optional<std::string> TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp && *tmp) ? tmp : "/tmp";
  if (dir.back() != '/') dir += '/';
  if (dir.size() > kMaxPath) return std::nullopt;
  return dir;
}

SystemResult<void> MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0) return MakeError(SystemError{errno});
  return {};
}

// unlink, not remove: a directory is never deleted as if it were a file.
SystemResult<void> RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) != 0) return MakeError(SystemError{errno});
  return {};
}

SystemResult<void> RenameFile(const std::string& from, const std::string& to) {
  // link and unlink, not rename: rename would replace a file already there.
  if (link(from.c_str(), to.c_str()) != 0) return MakeError(SystemError{errno});
  // The new name holds the file now; a second name left behind loses nothing.
  Ignore(RemoveFile(from), "the file is reached by its new name either way");
  return {};
}

std::string FullPath(const std::string& path) {
  if (char* real = realpath(path.c_str(), nullptr)) {
    std::string resolved = real;
    std::free(real);
    return resolved;
  }
  // A file not there yet: its directory resolved, its own name as given.
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (char* real = realpath(dir.c_str(), nullptr)) {
    std::string resolved = real;
    std::free(real);
    return resolved + (resolved.back() == '/' ? "" : "/") + name;
  }
  return path;
}

bool SamePath(const std::string& a, const std::string& b) {
  return FullPath(a) == FullPath(b);
}

SystemResult<FileId> FileIdentity(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return MakeError(SystemError{errno});
  return FileId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

SystemResult<FileId> EntryIdentity(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return MakeError(SystemError{errno});
  return FileId{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

bool RefusesPathForm(const std::string&) {
  return false;
}

Expected<std::FILE*, OpenStatus> OpenForWriting(const std::string& path, WriteMode mode,
                                                const FileIds& refused,
                                                FileFactsReader read_facts) {
  Expected<int, OpenStatus> fd = OpenWritable(path, mode, refused, read_facts);
  if (!fd) return fd.error();
  std::FILE* file = fdopen(*fd, mode == WriteMode::kAppend ? "a" : "w");
  if (!file) {
    close(*fd);
    return MakeError(OpenStatus::kFailed);
  }
  return file;
}

Expected<void, OpenStatus> AppendLine(const std::string& path, const std::string& text,
                                      const FileIds& refused) {
  Expected<int, OpenStatus> fd = OpenWritable(path, WriteMode::kAppend, refused, nullptr);
  if (!fd) return fd.error();
  const std::string line = text + '\n';
  ssize_t written = write(*fd, line.data(), line.size());
  bool closed = close(*fd) == 0;
  if (written != static_cast<ssize_t>(line.size()) || !closed)
    return MakeError(OpenStatus::kFailed);
  return {};
}

std::optional<std::string> OwnExecutablePath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

std::optional<std::string> OwnFileVersion() {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", QV_VERSION_MAJOR, QV_VERSION_MINOR,
                QV_VERSION_PATCH, QV_VERSION_TWEAK);
  return text;
}

std::optional<ProductVersion> FileProductVersion(const std::string& path) {
  Expected<PeFixedVersion, PeVersionError> version = ReadPeFixedVersion(path);
  if (!version) return std::nullopt;
  return ProductVersion{version->product_most, version->product_least};
}

bool IsNt52OrLater() {
  return false;
}

SystemResult<std::vector<std::string>> RunningProcessNames() {
  DIR* proc = opendir("/proc");
  if (!proc) return MakeError(SystemError{errno});
  std::vector<std::string> names;
  while (dirent* entry = readdir(proc)) {
    const char* pid = entry->d_name;
    if (*pid < '0' || *pid > '9') continue;
    std::string link = std::string("/proc/") + pid + "/exe";
    char target[4096];
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;  // not ours to examine
    std::string path(target, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
    names.push_back(path.substr(path.rfind('/') + 1));
  }
  closedir(proc);
  return names;
}

Expected<uint32_t, RunStatus> RunCommandLine(const std::string& command_line,
                                             const std::string& capture_file, const WaitTick& tick,
                                             const FileIds& refused,
                                             const std::vector<std::string>* given,
                                             WriteMode capture_mode) {
  int output = -1;
  if (!capture_file.empty()) {
    Expected<int, OpenStatus> opened = OpenWritable(capture_file, capture_mode, refused, nullptr);
    if (!opened) return CaptureOpenError(opened.error());
    output = *opened;
  }
  std::vector<std::string> args =
      given && !given->empty() ? *given : SplitWindowsCommandLine(command_line);
  std::optional<std::string> program = FindProgram(args[0]);
  if (!program) {
    if (output >= 0) close(output);
    return MakeError(RunStatus::StartFailed);
  }

  // The child never reads input, and its output goes to the capture file or nowhere.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  // A group of its own keeps a terminal's interrupt away from a running flash; SIGPIPE,
  // which the utility ignores, is the child's to decide again.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program->c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (output >= 0) close(output);
  if (rc != 0) return MakeError(RunStatus::StartFailed);

  SystemResult<int> waited = WaitForChild(pid, tick);
  if (!waited) return MakeError(RunStatus::ExitCodeUnknown);
  const int status = *waited;
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  return 128u + static_cast<uint32_t>(WTERMSIG(status));
}

void SleepMilliseconds(unsigned ms) {
  usleep(ms * 1000u);
}

bool StdoutIsConsole() {
  return isatty(STDOUT_FILENO) != 0;
}

void SetConsoleWindowTitle(const std::string& title) {
  if (!StdoutIsConsole()) return;
  std::fputs("\033]0;", stdout);
  std::fputs(title.c_str(), stdout);
  std::fputs("\007", stdout);
  std::fflush(stdout);
}

void SizeConsole(int, int) {}

std::string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char text[64];
  std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y\n", &local);
  return text;
}

std::string UtcTimeText() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm utc;
  gmtime_r(&now.tv_sec, &utc);
  char text[40];
  size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(now.tv_nsec / 1000000));
  return text;
}

uint64_t SteadyMilliseconds() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::optional<std::string> HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
  return name;
}

std::optional<std::string> UserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return std::to_string(geteuid());
}

uint32_t ProcessId() {
  return static_cast<uint32_t>(getpid());
}

bool ReportRunEvent(EventLevel level, uint32_t event_id, const std::string& text) {
  int priority = level == EventLevel::kError     ? LOG_ERR
                 : level == EventLevel::kWarning ? LOG_WARNING
                                                 : LOG_INFO;
  openlog("Quorvane", LOG_PID, LOG_USER);
  // The text is data, never the format.
  syslog(priority, "%u %s", static_cast<unsigned>(event_id), text.c_str());
  closelog();
  return true;
}

}  // namespace platform
