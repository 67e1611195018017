// Process safety on Windows: links and the instance lock.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

void GuardStandardStreams() {}

bool IsLink(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

InstanceLock::~InstanceLock() {
  if (taken_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

InstanceLock::Result InstanceLock::Take(const std::string& name) {
  // A named mutex lives as long as a handle to it is open, so its existence alone is the
  // lock; the global namespace makes it one per machine, across sessions.
  std::string global = "Global\\" + name;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, global.c_str());
  if (!mutex) {
    // Another user's mutex of that name exists and is not ours to open.
    return GetLastError() == ERROR_ACCESS_DENIED ? Result::kHeldElsewhere : Result::kUnavailable;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return Result::kHeldElsewhere;
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  taken_ = true;
  return Result::kTaken;
}

}  // namespace platform
