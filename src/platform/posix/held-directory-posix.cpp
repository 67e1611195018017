// A report's directory held by descriptor, and the one rename that finishes the report in it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Removes every entry of a directory that holds only files, as the tool leaves them.
void EmptyDirectory(int fd) {
  int copy = dup(fd);
  if (copy < 0) return;
  DIR* dir = fdopendir(copy);
  if (!dir) {
    close(copy);
    return;
  }
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") unlinkat(fd, name.c_str(), 0);
  }
  closedir(dir);
}

}  // namespace

HeldDirectory::~HeldDirectory() {
  RemovePrivate();
  if (dir_ >= 0) close(static_cast<int>(dir_));
}

SystemResult<void> HeldDirectory::Open(const std::string& file) {
  size_t slash = file.rfind('/');
  dir_path_ = slash == std::string::npos ? "" : file.substr(0, slash + 1);
  final_name_ = file.substr(dir_path_.size());
  std::string dir = dir_path_.empty() ? "." : dir_path_;
  int fd = open(dir.c_str(), kDirectoryFlags);
  if (fd < 0) return MakeError(SystemError{errno});
  dir_ = fd;
  return {};
}

SystemResult<std::string> HeldDirectory::MakePrivate(const std::string& prefix) {
  int dir = static_cast<int>(dir_);
  int error = EBADF;
  for (int n = 0; dir >= 0 && n < 100; ++n) {
    std::string name = prefix + (n ? std::to_string(n) : "");
    if (mkdirat(dir, name.c_str(), 0700) != 0) {
      error = errno;
      if (error == EEXIST) continue;
      break;
    }
    int fd = openat(dir, name.c_str(), kDirectoryFlags);
    if (fd < 0) {
      error = errno;
      unlinkat(dir, name.c_str(), AT_REMOVEDIR);
      break;
    }
    private_ = fd;
    private_name_ = name;
    return dir_path_ + name;
  }
  return MakeError(SystemError{error});
}

SystemResult<void> HeldDirectory::MoveIn(const std::string& name) {
  struct stat status;
  int from = static_cast<int>(private_);
  // Only a plain file the tool made is put in place.
  if (from < 0 || fstatat(from, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return MakeError(SystemError{from < 0 ? EBADF : errno});
  if (!S_ISREG(status.st_mode)) return MakeError(SystemError{EINVAL});
  if (renameat(from, name.c_str(), static_cast<int>(dir_), final_name_.c_str()) != 0)
    return MakeError(SystemError{errno});
  return {};
}

void HeldDirectory::RemovePrivate() {
  if (private_ < 0) return;
  EmptyDirectory(static_cast<int>(private_));
  close(static_cast<int>(private_));
  private_ = -1;
  unlinkat(static_cast<int>(dir_), private_name_.c_str(), AT_REMOVEDIR);
}

}  // namespace platform
