#include "inventory/hardware_flags.h"

#include <cstdint>
#include <fstream>

#include "env/file_exists.h"
#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
#include "inventory/firmware_version.h"
#include "inventory/installed_firmware.h"
#include "platform/platform.h"
#include "ui/user_interface.h"
#include "update/flash_tool.h"
#include "update/tool_runner.h"

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Blanks at both ends go; so does the CR of a CR LF line end.
std::string Trim(const std::string& line) {
  const char* blanks = " \t\r";
  size_t first = line.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = line.find_last_not_of(blanks);
  return line.substr(first, last - first + 1);
}

// "set to 0" is tested first, so a line naming both 0 and another value counts as disabled.
HardwareFlagsState ClassifyLine(const std::string& line) {
  if (!Contains(line, "Hardware Flags")) return kHardwareFlagsUnknown;
  if (Contains(line, "set to 0")) return kHardwareFlagsDisabled;
  for (const char* active : {"set to 3", "set to 2", "set to 1", "uninitialized"})
    if (Contains(line, active)) return kHardwareFlagsActive;
  return kHardwareFlagsUnknown;
}

void ResetHardwareFlags(const AdapterRecord& adapter) {
  std::string command = HardwareFlagsResetCommand(adapter.bdf);
  uint32_t exit_code = 0;
  if (RunExternalCommand(command, "", &exit_code) && exit_code == 0) {
    UI().Write("\"%s\": disabling the iPE/dPE setting succeeded!\n", adapter.device_id.c_str());
  } else {
    UI().Write("\"%s\": disabling the iPE/dPE setting failed!\n%s: error code %d.\n",
               adapter.device_id.c_str(), command.c_str(), static_cast<int>(exit_code));
  }
}

void CheckAdapter(size_t index) {
  const AdapterRecord& adapter = AdapterAt(index);
  if (!HasHardwareFlagsFirmware(index)) {
    FirmwareVersion installed = adapter.installed_version;
    UI().Write("\"%s\" has firmware version %s.\n", adapter.device_id.c_str(), installed.Format());
    return;
  }
  UI().Write("\"%s\" has firmware version equal to v4.0.555.\n", adapter.device_id.c_str());
  switch (QueryHardwareFlags(index)) {
    case kHardwareFlagsActive:
      ResetHardwareFlags(adapter);
      break;
    case kHardwareFlagsDisabled:
      UI().Write("iPE/dPE setting is already disabled for \"%s\".\n", adapter.device_id.c_str());
      break;
    case kHardwareFlagsUnknown:
      break;
  }
}

}  // namespace

bool HasHardwareFlagsFirmware(size_t index) {
  // The threshold is the left operand, so the build number always counts.
  return DependencyThresholdVersion == AdapterAt(index).installed_version;
}

HardwareFlagsState ReadHardwareFlagsCapture(const std::string& path) {
  std::ifstream file(path);
  if (!file) return kHardwareFlagsUnknown;
  std::string line;
  while (std::getline(file, line)) {
    line = Trim(line);
    if (line.empty()) continue;
    HardwareFlagsState state = ClassifyLine(line);
    if (state != kHardwareFlagsUnknown) {
      UI().Write("Current value: %s\n", line.c_str());
      return state;
    }
  }
  return kHardwareFlagsUnknown;
}

HardwareFlagsState QueryHardwareFlags(size_t index) {
  uint32_t exit_code = 0;
  bool ran = RunExternalCommand(HardwareFlagsQueryCommand(AdapterAt(index).device_id),
                                kHardwareFlagsCaptureFile, &exit_code);
  // After a failed run the capture stays until the next query empties it.
  if (!ran || exit_code != 0 || !FileExists(kHardwareFlagsCaptureFile))
    return kHardwareFlagsUnknown;
  HardwareFlagsState state = ReadHardwareFlagsCapture(kHardwareFlagsCaptureFile);
  platform::RemoveFile(kHardwareFlagsCaptureFile);
  return state;
}

void RunHardwareFlagsCheck() {
  UI().Write("Started verification of iPE/dPE setting for the supported NICs.\n");
  // Read the adapters afresh: the installed versions must reflect what was just flashed.
  ResetDiscovery();
  DiscoverAdapters();
  if (SupportedAdapterCount() == 0 || AdapterListLength() == 0) {
    UI().Write("%s", kNoSupportedAdapters);
    return;
  }
  for (size_t i = 0; i < SupportedAdapterCount(); ++i) CheckAdapter(i);
  UI().Write("Finished verification of iPE/dPE setting for the supported NICs.\n");
}
