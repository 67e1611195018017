// Asks the flash tool for its discovery report and keeps the ports the catalog supports.
#pragma once

#include <cstdint>
#include <string>

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/inventory/catalog.h"
#include "adapter/tool/flash_tool.h"
#include "ui/user_interface.h"

// What a report tells besides its ports; the -v report carries these texts.
struct VersionSummary {
  std::string current_version;  // of the last port listed, supported or not
  std::string package_version;  // the package firmware of the last supported port
  std::string takes_effect;
};

// Told when a report has been read to its end, before discovery logs its outcome.
class ReportObserver {
 public:
  virtual void ReportRead(const VersionSummary& summary) = 0;

 protected:
  ~ReportObserver() = default;
};

struct DiscoveryReport {
  AdapterInventory ports;        // what was read, also when the reading stopped early
  bool found_supported = false;  // a supported port was read
  bool read_to_end = false;      // neither refused nor stopped
  bool loaded = false;           // the file was read as XML
  // Why the report or its reading was refused: firmware-type, other-family, report-type.
  std::string refusal;
  AdapterInventory duplicates;  // later listings of a port listed before, dropped
  VersionSummary summary;
};

// How a discovery ended: with supported ports, or why without.
enum class DiscoveryEnd {
  kFound,
  kToolNotRun,
  kToolFailed,  // its exit code was not 0
  kNoReport,
  kReportUnreadable,
  kReportRefused,
  kNoAdapter,  // the report held no supported port
};

struct Discovery {
  AdapterInventory ports;
  DiscoveryEnd end = DiscoveryEnd::kFound;
  std::string refusal;  // the report's, when it was refused
  AdapterInventory duplicates;
  bool report_read = false;  // then summary.takes_effect is the report's
  VersionSummary summary;
  ToolRun call;  // the tool's call (exit code 98 when it did not start)
};

// Reads one report written by the tool.
DiscoveryReport ReadDiscoveryReport(const std::string& path, const FirmwareCatalog& catalog,
                                    UserInterface& ui);

// Loads the catalog, has the tool write its report into the package directory, reads it and
// deletes it. Ports read from a report that failed come back all the same; the caller
// decides what to do with them.
Discovery DiscoverAdapters(FlashTool& tool, FirmwareCatalog* catalog, UserInterface& ui,
                           ReportObserver* observer = nullptr);
