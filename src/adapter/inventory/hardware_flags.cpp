#include "adapter/inventory/hardware_flags.h"

#include <fstream>

#include "adapter/inventory/temporary_file.h"
#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// "set to 0" is tested first, so a line naming both 0 and another value counts as disabled.
HardwareFlagsState ClassifyLine(const std::string& line) {
  if (!Contains(line, "Hardware Flags")) return HardwareFlagsState::kUnknown;
  if (Contains(line, "set to 0")) return HardwareFlagsState::kDisabled;
  for (const char* active : {"set to 3", "set to 2", "set to 1", "uninitialized"})
    if (Contains(line, active)) return HardwareFlagsState::kActive;
  return HardwareFlagsState::kUnknown;
}

PortFlagsCheck::Action ResetHardwareFlags(FlashTool& tool, const AdapterRecord& adapter,
                                          UserInterface& ui) {
  ToolResult reset = tool.Run(HardwareFlagsResetCommand(adapter.bdf));
  if (Succeeded(reset)) {
    ui.Write(msg::kFlagsResetSucceeded, adapter.device_id.c_str());
    return PortFlagsCheck::Action::kReset;
  }
  ui.Write(msg::kFlagsResetFailed, adapter.device_id.c_str(), CommandOf(reset).c_str(),
           static_cast<int>(ExitCodeOf(reset)));
  return PortFlagsCheck::Action::kResetFailed;
}

void CheckAdapter(FlashTool& tool, PortFlagsCheck* check, UserInterface& ui) {
  const AdapterRecord& adapter = check->port;
  if (!HasHardwareFlagsFirmware(adapter)) {
    FirmwareVersion installed = adapter.installed_version;
    ui.Write(msg::kPortVersion, adapter.device_id.c_str(), installed.Format());
    return;
  }
  ui.Write(msg::kPortAtThreshold, adapter.device_id.c_str());
  check->examined = true;
  check->state = QueryHardwareFlags(tool, adapter, ui);
  switch (check->state) {
    case HardwareFlagsState::kActive:
      if (!platform::InterruptRequested()) check->action = ResetHardwareFlags(tool, adapter, ui);
      break;
    case HardwareFlagsState::kDisabled:
      ui.Write(msg::kFlagsAlreadyDisabled, adapter.device_id.c_str());
      break;
    case HardwareFlagsState::kUnknown:
      break;
  }
}

// After an interrupt the tool call that ran has finished; no other starts.
bool EndsAfterInterrupt(UserInterface& ui) {
  if (!platform::InterruptRequested()) return false;
  ui.Write(msg::kCheckInterrupted);
  return true;
}

}  // namespace

bool HasHardwareFlagsFirmware(const AdapterRecord& adapter) {
  // The threshold is the left operand, so the build number always counts.
  return DependencyThresholdVersion == adapter.installed_version;
}

HardwareFlagsState ReadHardwareFlagsCapture(const std::string& path, UserInterface& ui) {
  std::ifstream file(path);
  if (!file) return HardwareFlagsState::kUnknown;
  std::string line;
  while (std::getline(file, line)) {
    // Blanks at both ends go; so does the CR of a CR LF line end.
    line = platform::Trim(line, " \t\r");
    if (line.empty()) continue;
    HardwareFlagsState state = ClassifyLine(line);
    if (state != HardwareFlagsState::kUnknown) {
      ui.Write(msg::kFlagsCurrentValue, line.c_str());
      return state;
    }
  }
  return HardwareFlagsState::kUnknown;
}

HardwareFlagsState QueryHardwareFlags(FlashTool& tool, const AdapterRecord& adapter,
                                      UserInterface& ui) {
  TemporaryFileGuard capture(kHardwareFlagsCaptureFile);
  ToolResult query = tool.Run(HardwareFlagsQueryCommand(adapter.device_id));
  // After a failed run the capture stays until the next query empties it.
  if (!Succeeded(query) || !platform::FileExists(kHardwareFlagsCaptureFile))
    return HardwareFlagsState::kUnknown;
  HardwareFlagsState state = ReadHardwareFlagsCapture(kHardwareFlagsCaptureFile, ui);
  Ignore(platform::RemoveFile(kHardwareFlagsCaptureFile), "the next query empties it");
  return state;
}

std::vector<PortFlagsCheck> RunHardwareFlagsCheck(FlashTool& tool, FirmwareCatalog* catalog,
                                                  UserInterface& ui, ReportObserver* observer) {
  ui.Write(msg::kCheckStarted);
  // Read the adapters afresh: the installed versions must reflect what was just flashed.
  Discovery discovery = DiscoverAdapters(tool, catalog, ui, observer);
  std::vector<PortFlagsCheck> checks;
  if (discovery.ports.empty()) {
    ui.Write(msg::kNoSupportedAdapters);
    return checks;
  }
  for (AdapterRecord& adapter : discovery.ports) checks.push_back({std::move(adapter)});
  for (PortFlagsCheck& check : checks) {
    if (EndsAfterInterrupt(ui)) return checks;
    CheckAdapter(tool, &check, ui);
  }
  if (EndsAfterInterrupt(ui)) return checks;
  ui.Write(msg::kCheckFinished);
  return checks;
}
