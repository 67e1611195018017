// After a run that found adapters: disables the iPE/dPE setting of ports at 4.0.555.
#pragma once

#include <cstddef>
#include <string>

// What a query tells about a port's iPE/dPE setting.
enum HardwareFlagsState : int {
  kHardwareFlagsDisabled = 0,
  kHardwareFlagsActive = 3,
  kHardwareFlagsUnknown = 9,  // the query did not run, failed or found no matching line
};

void RunHardwareFlagsCheck();

// True when the adapter at index runs exactly 4.0.555, the only firmware with the setting.
bool HasHardwareFlagsFirmware(size_t index);
// Asks the flash tool for the adapter's setting; the capture file is removed afterwards.
HardwareFlagsState QueryHardwareFlags(size_t index);
// Reads a capture of the tool's --info output; logs the line that decides.
HardwareFlagsState ReadHardwareFlagsCapture(const std::string& path);
