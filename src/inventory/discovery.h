// Asks the flash tool for its discovery report and keeps the ports the catalog supports.
#pragma once

#include <cstdint>
#include <string>

// Runs one discovery unless one has completed (then returns 0 at once). Returns the tool's
// exit code (98 when it could not be started); whether ports were found is told by the
// inventory, not by the result.
int32_t DiscoverAdapters();
// Reads one report into the inventory: 0 when a supported port was added by this call.
int32_t ReadDiscoveryReport(const std::string& path);
