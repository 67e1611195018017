// The driver rule around firmware 4.0.555: an update that takes a port from below that
// version to a package at or above it needs an older network driver, which can be replaced
// after the reboot that follows the update.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "adapter/inventory/adapter_inventory.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

// True when the update of the discovered ports may proceed; false when it must not or the
// rule cannot be evaluated.
bool VerifyDependencies(const AdapterInventory& inventory, UserInterface& ui);

// The product version of a driver file in the system directory; none when unreadable.
std::optional<platform::ProductVersion> ReadDriverVersion(const std::string& driver_file);
// True when the installed driver is strictly below its limit.
bool DriverVersionAllowed(const std::string& driver_file, uint32_t most, uint32_t least,
                          UserInterface& ui);
