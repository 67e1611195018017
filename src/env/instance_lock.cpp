#include "env/instance_lock.h"

#include <vector>

#include "env/file_exists.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

namespace {

const char* const kToolNames[] = {"nxflash.exe", "nxflash_x86.exe"};

bool IsToolProcess(const std::string& name) {
  for (const char* tool : kToolNames) {
    if (name.find(tool) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::string LockFilePath() {
  std::string temp = platform::TempDirectory();
  if (temp.empty()) return "";
  // The temporary directory ends with a separator already; the doubled one is harmless.
  return temp + platform::PathSeparator() + kLockFileName;
}

bool VerifyInstance() {
  UI().Write("Checking for any other instance of RavAre tool!\n");
  std::string lock = LockFilePath();
  if (lock.empty()) {
    UI().Write("VerifyInstance: No temp directory identified or GetTempPath failed!\n");
    return true;
  }
  if (!FileExists(lock)) return true;

  std::vector<std::string> names;
  if (!platform::RunningProcessNames(&names)) {
    UI().Write("VerifyInstance: Failed to get process details!\n");
    return true;
  }
  for (const std::string& name : names) {
    if (IsToolProcess(name)) {
      UI().Write(
          "Error: Either another RavAre tool is already running, or your last session did not "
          "close gracefully. Required to clear the settings!\n");
      return false;
    }
  }
  if (!FileExists(lock)) return true;
  if (platform::RemoveFile(lock)) {
    UI().Write("Warning: last session did not close gracefully.  Clearing lock.\n");
    return true;
  }
  UI().Write("Error: last session did not close gracefully.  Unable to clear lock.\n");
  return false;
}
