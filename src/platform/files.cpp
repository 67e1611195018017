// File services that read the same on every host.
#include <sys/stat.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

bool FileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

uint64_t FileSize(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

bool IsDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Contains(const FileIds& ids, const FileId& id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool IsDeviceOrStreamName(const std::string& name) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (name.size() >= 4 && separator(name[0]) && separator(name[3])) {
    if (separator(name[1]) && (name[2] == '?' || name[2] == '.')) return true;  // \\?\ \\.\ //?/
    if (name[1] == '?' && name[2] == '?') return true;                          // \??\ (NT)
  }
  const bool drive = name.size() >= 2 && name[1] == ':' &&
                     ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
  return name.find(':', drive ? 2 : 0) != std::string::npos;
}

Expected<void> JudgeOpenedFile(intptr_t handle, const FileIds& refused,
                               FileFactsReader read_facts) {
  Expected<OpenedFileFacts> facts = read_facts(handle);
  if (!facts) return MakeError(OpenStatus::kFailed, facts.error().text);
  if (facts->is_link) return MakeError(OpenStatus::kIsLink);
  if (Contains(refused, facts->id)) return MakeError(OpenStatus::kProtected);
  return {};
}

Error CaptureOpenError(const Error& open) {
  if (open.Is(OpenStatus::kIsLink)) return MakeError(RunStatus::CaptureIsLink, open.text);
  if (open.Is(OpenStatus::kProtected)) return MakeError(RunStatus::CaptureIsProtected, open.text);
  return MakeError(RunStatus::CaptureFailed, open.text);
}

}  // namespace platform
