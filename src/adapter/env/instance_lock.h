// Refuses to go on while the vendor flash tool runs, and clears a lock file that nobody
// holds any more. The utility never creates the lock file itself.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/user_interface.h"

constexpr const char kLockFileName[] = "ravare_lock_file";

// Full path of the lock file in the temporary directory; none when there is no such directory.
std::optional<std::string> LockFilePath();

// The base names of the running processes; an error when they cannot be listed.
using ProcessLister = std::function<platform::SystemResult<std::vector<std::string>>()>;

// Whether the program may go on, and when not, why: "tool-running" or "lock-file-stuck".
struct InstanceVerdict {
  bool go_on = true;
  const char* reason = "";
  explicit operator bool() const { return go_on; }
};
// The product passes platform::RunningProcessNames.
InstanceVerdict VerifyInstance(UserInterface& ui, const ProcessLister& running_processes);

// The utility's own lock: never the tool's lock file, whose meaning belongs to the tool.
constexpr const char kInstanceLockName[] = "Quorvane-single-instance";

// Takes the utility's own lock, so that two runs never work on the adapters together; it is
// held as long as lock lives. An error (after its log line; the code a
// platform::InstanceLock::Failure) when the program must stop.
Expected<void, platform::InstanceLock::Failure> TakeInstanceLock(
    platform::InstanceLock* lock, UserInterface& ui, const std::string& name = kInstanceLockName);
