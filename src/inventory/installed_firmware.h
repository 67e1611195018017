// The read-only outputs: the -c table, the version-only report and the -ql check.
#pragma once

#include <string>

// Shown when discovery leaves no supported port to work on.
constexpr const char kNoSupportedAdapters[] =
    "No supported network adapters for firmware upgrade.\n";

// -c: the installed and available firmware of every supported port.
int ShowInstalledFirmware();
// -ql: whether the version-only report file exists after discovery.
int CheckVersionOnlyReport();
// -v: saves the small version-only report to ReportFileName and logs its text.
void WriteVersionOnlyReport(const std::string& current_version, const std::string& package_version,
                            const std::string& takes_effect);
