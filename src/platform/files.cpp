// File services that read the same on every host.
#include <sys/stat.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

bool FileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return static_cast<uint64_t>(status.st_size);
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

namespace {

// The names Windows takes for a device in any directory, whatever follows the first dot and
// with blanks before it.
bool IsWindowsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
    if (base == device) return true;
  }
  const std::string port = base.substr(0, 3);
  return base.size() == 4 && (port == "COM" || port == "LPT") && base[3] >= '0' && base[3] <= '9';
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:") == std::string::npos && !IsWindowsDeviceName(name);
}

Expected<void, OpenStatus> JudgeOpenedFile(intptr_t handle, const FileIds& refused,
                                           FileFactsReader read_facts) {
  SystemResult<OpenedFileFacts> facts = read_facts(handle);
  if (!facts) return MakeError(OpenStatus::kFailed, facts.error().text);
  if (facts->is_link) return MakeError(OpenStatus::kIsLink);
  if (Contains(refused, facts->id)) return MakeError(OpenStatus::kProtected);
  return {};
}

Error<RunStatus> CaptureOpenError(const Error<OpenStatus>& open) {
  if (open.code == OpenStatus::kIsLink) return MakeError(RunStatus::CaptureIsLink, open.text);
  if (open.code == OpenStatus::kProtected)
    return MakeError(RunStatus::CaptureIsProtected, open.text);
  return MakeError(RunStatus::CaptureFailed, open.text);
}

}  // namespace platform
