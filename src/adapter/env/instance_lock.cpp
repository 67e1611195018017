#include "adapter/env/instance_lock.h"

#include <vector>

#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"

namespace {

constexpr const char* kToolNames[] = {kFlashToolName, kFlashToolX86Name};

bool IsToolProcess(const std::string& name) {
  for (const char* tool : kToolNames) {
    if (name.find(tool) != std::string::npos) return true;
  }
  return false;
}

// What the host could tell about the holder of the utility's lock, as one line.
std::string DescribeHolder(const platform::InstanceLock::Holder& holder) {
  using Kind = platform::InstanceLock::Holder::Kind;
  const char* name = holder.name.c_str();
  switch (holder.kind) {
    case Kind::kUtilityRun:
      return FormatText(msg::kLockHeldByRun, holder.process, holder.user.c_str());
    case Kind::kOtherProgram:
      return holder.process > 0 ? FormatText(msg::kLockHeldByProgram, holder.process)
                                : FormatText(msg::kLockNameHeldByProgram, name);
    case Kind::kMutexOwned:
      return FormatText(msg::kLockMutexOwned, name);
    case Kind::kMutexNotOwned:
      return FormatText(msg::kLockMutexNotOwned, name);
    case Kind::kMutexOfAnotherUser:
      return FormatText(msg::kLockMutexOfAnotherUser, name);
    case Kind::kNameOfAnotherKind:
      return FormatText(msg::kLockNameOfAnotherKind, name);
    case Kind::kUnknown:
      break;
  }
  return FormatText(msg::kLockHeld, name);
}

}  // namespace

std::optional<std::string> LockFilePath() {
  std::optional<std::string> temp = platform::TempDirectory();
  if (!temp) return std::nullopt;
  // The temporary directory ends with a separator already; the doubled one is harmless.
  return *temp + platform::PathSeparator() + kLockFileName;
}

InstanceVerdict VerifyInstance(UserInterface& ui, const ProcessLister& running_processes) {
  ui.Write(msg::kCheckingInstance);
  std::optional<std::string> found = LockFilePath();
  if (!found) {
    ui.Write(msg::kNoTempDirectory);
    return {};
  }
  const std::string& lock = *found;
  if (!platform::FileExists(lock)) return {};

  platform::SystemResult<std::vector<std::string>> names = running_processes();
  if (!names) {
    ui.Write(msg::kNoProcessList);
    return {};
  }
  for (const std::string& name : *names) {
    if (IsToolProcess(name)) {
      ui.Write(msg::kToolAlreadyRunning);
      ui.Error(msg::kToolAlreadyRunning);
      return {false, "tool-running"};
    }
  }
  if (!platform::FileExists(lock)) return {};
  if (platform::RemoveFile(lock).ok()) {
    ui.Write(msg::kLockCleared);
    return {};
  }
  ui.Write(msg::kLockNotCleared);
  ui.Error(msg::kLockNotCleared);
  return {false, "lock-file-stuck"};
}

Expected<void, platform::InstanceLock::Failure> TakeInstanceLock(platform::InstanceLock* lock,
                                                                 UserInterface& ui,
                                                                 const std::string& name) {
  Expected<void, platform::InstanceLock::Failure> taken = lock->Take(name);
  if (taken) return taken;
  if (taken.error().code == platform::InstanceLock::Failure::kHeldElsewhere) {
    std::string told = DescribeHolder(lock->holder());
    ui.Write(msg::kText, told.c_str());
    ui.Error(msg::kText, told.c_str());
    return taken;
  }
  // Without the lock nothing keeps a second run away: stop rather than risk a double flash.
  ui.Write(msg::kInstanceLockUnavailable);
  ui.Error(msg::kInstanceLockUnavailable);
  return taken;
}
