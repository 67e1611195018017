// After a run that found adapters: disables the iPE/dPE setting of ports at 4.0.555.
#pragma once

#include <string>
#include <vector>

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/inventory/catalog.h"
#include "adapter/inventory/discovery.h"
#include "adapter/tool/flash_tool.h"
#include "ui/user_interface.h"

// What a query tells about a port's iPE/dPE setting.
enum class HardwareFlagsState {
  kDisabled,
  kActive,
  kUnknown,  // the query did not run, failed or found no matching line
};

// What the check found of one port of its fresh discovery.
struct PortFlagsCheck {
  AdapterRecord port;
  bool examined = false;  // it runs 4.0.555 and its setting was asked for
  HardwareFlagsState state = HardwareFlagsState::kUnknown;
  enum class Action { kNone, kReset, kResetFailed } action = Action::kNone;
};

// Discovers the ports afresh (the observer sees the report as in any discovery), then
// examines every port at 4.0.555. Returns the ports found, with what was examined of them.
std::vector<PortFlagsCheck> RunHardwareFlagsCheck(FlashTool& tool, FirmwareCatalog* catalog,
                                                  UserInterface& ui,
                                                  ReportObserver* observer = nullptr);

// True when the port runs exactly 4.0.555, the only firmware with the setting.
bool HasHardwareFlagsFirmware(const AdapterRecord& adapter);
// Asks the flash tool for the port's setting; the capture file is removed afterwards.
HardwareFlagsState QueryHardwareFlags(FlashTool& tool, const AdapterRecord& adapter,
                                      UserInterface& ui);
// Reads a capture of the tool's --info output; logs the line that decides.
HardwareFlagsState ReadHardwareFlagsCapture(const std::string& path, UserInterface& ui);
