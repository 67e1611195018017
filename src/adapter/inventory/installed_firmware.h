// The read-only outputs: the -c table and the version-only report.
#pragma once

#include <string>

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/inventory/discovery.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

// -c: one block per supported port, as text.
std::string InstalledFirmwareTable(const AdapterInventory& inventory);

// -v: saves the small version-only report to path and logs its text. A file that cannot be
// written is logged after the text (-ql tells afterwards whether the file exists); a path that
// is a link or one of protected_files is never written, and that refusal is logged. Every
// failure is logged here; its error is the OpenStatus, or kFailed for a failed write.
Expected<void, platform::OpenStatus> WriteVersionOnlyReport(
    const std::string& path, const VersionSummary& summary, UserInterface& ui,
    const platform::FileIds& protected_files = platform::FileIds());
