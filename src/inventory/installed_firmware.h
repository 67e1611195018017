// The read-only outputs: the -c table and the version-only report.
#pragma once

#include <string>

#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
#include "ui/user_interface.h"

// -c: one block per supported port, as text.
std::string InstalledFirmwareTable(const AdapterInventory& inventory);

// -v: saves the small version-only report to path and logs its text. A failed save is not
// reported: -ql tells afterwards whether the file exists. A path that is a link is never
// written through; that refusal is logged.
void WriteVersionOnlyReport(const std::string& path, const VersionSummary& summary,
                            UserInterface& ui);
