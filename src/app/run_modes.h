// The run modes of the program driver; each returns the process exit code.
#pragma once

#include <cstddef>

#include "adapter/inventory/discovery.h"
#include "adapter/update/exit_code.h"
#include "adapter/update/firmware.h"
#include "app/run_context.h"

// The mode the options chose.
ExitCode RunSelectedMode(RunContext& run);

ExitCode RunDefaultUpdate(RunContext& run);
ExitCode ShowInstalledFirmware(RunContext& run);
ExitCode WriteDiscoveryReport(RunContext& run);
ExitCode ApplyDiscoveryReport(RunContext& run);
ExitCode CheckVersionOnlyReport(RunContext& run);
ExitCode RunDependencyCheck(RunContext& run);

// -v writes its report whenever a discovery reads a report to its end, in its own mode and
// in the post-run check's discovery; other modes write nothing.
class VersionOnlyReportWriter : public ReportObserver {
 public:
  explicit VersionOnlyReportWriter(RunContext& run) : run_(run) {}
  void ReportRead(const VersionSummary& summary) override;
  // The writer for the run's mode, or null.
  ReportObserver* ForMode() {
    return run_.options.mode == RunMode::kDependencyCheck ? this : nullptr;
  }

 private:
  RunContext& run_;
};

// The gate of the update and report modes: true when the discovery found supported ports, the
// driver rule allows them and no interrupt came; false to stop.
bool CheckUpdateDependencies(RunContext& run);
// The record's decision for each port asked and, after a quit, how the questions ended.
void RecordSelection(RunContext& run, const SelectionResult& selection);
// The record's tool call and outcome for each port flashed.
void RecordFlashes(RunContext& run, const UpdateOutcome& outcome);
// The record's outcome for a discovery that found no supported port.
void ConcludeDiscovery(RunRecord& record, const Discovery& discovery);
// Why a port was decided as it was: answered, policy, equal, newer or report-only.
const char* CauseOf(const Options& options, const AdapterRecord& port);
// The record's outcome of the default mode, as ReportOutcome tells it.
void ConcludeUpdate(RunRecord& record, const UpdateOutcome& outcome,
                    const VersionFindings& findings, bool report_only);
