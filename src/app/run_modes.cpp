#include "app/run_modes.h"

#include <string>

#include "adapter/env/dependencies.h"
#include "adapter/inventory/installed_firmware.h"
#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"

namespace {

// Every mode's discovery: the ports found become the run's inventory, and only they tell
// the modes what the discovery gave (a failed one finds none). The record lists them, then
// the duplicate listings dropped.
void Discover(RunContext& run) {
  VersionOnlyReportWriter writer(run);
  Discovery discovery = DiscoverAdapters(run.tool, &run.catalog, run.ui, writer.ForMode());
  RunRecord& record = run.record;
  record.ports.clear();
  for (const AdapterRecord& port : discovery.ports) record.ports.push_back(RecordOfPort(port));
  for (const AdapterRecord& port : discovery.duplicates) {
    record.ports.push_back(RecordOfPort(port));
    record.ports.back().decision = "skip";
    record.ports.back().cause = "duplicate";
  }
  if (discovery.report_read) record.takes_effect = discovery.summary.takes_effect;
  if (discovery.end != DiscoveryEnd::kFound) ConcludeDiscovery(record, discovery);
  run.inventory = std::move(discovery.ports);
}

// A port's outcome from its flash: what a successful flash did depends on the versions.
const char* FlashOutcome(const AdapterRecord& port, bool flashed) {
  if (!flashed) return "failed";
  if (port.installed_version < port.available_version) return "updated";
  return port.installed_version == port.available_version ? "re-flashed" : "downgraded";
}

// After an interrupt the running tool call has finished; the run starts no other.
bool EndsAfterInterrupt(RunContext& run) {
  if (!platform::InterruptRequested()) return false;
  run.ui.Print(msg::kInterruptedAfterDiscovery);
  run.record.Conclude(Outcome::kInterrupted, "after-discovery", msg::kInterruptedAfterDiscovery);
  return true;
}

}  // namespace

void ConcludeDiscovery(RunRecord& record, const Discovery& discovery) {
  std::string line =
      FormatText(msg::kDiscoveryFailed, static_cast<int32_t>(discovery.call.exit_code));
  if (discovery.call.exit_code != 0) record.failed_call = RecordOfCall(discovery.call);
  switch (discovery.end) {
    case DiscoveryEnd::kFound:
      return;
    case DiscoveryEnd::kToolNotRun:
      return record.Conclude(Outcome::kToolMissing, "", line);
    case DiscoveryEnd::kToolFailed:
      return record.Conclude(Outcome::kDiscoveryFailed, "tool-exit-code", line);
    case DiscoveryEnd::kNoReport:
      return record.Conclude(Outcome::kDiscoveryFailed, "no-report", line);
    case DiscoveryEnd::kReportUnreadable:
      return record.Conclude(Outcome::kDiscoveryFailed, "report-unreadable", line);
    case DiscoveryEnd::kReportRefused:
      return record.Conclude(Outcome::kReportRefused, discovery.refusal, line);
    case DiscoveryEnd::kNoAdapter:
      return record.Conclude(Outcome::kNoAdapter, "", msg::kNoSupportedAdapters);
  }
}

const char* CauseOf(const Options& options, const AdapterRecord& port) {
  const UpdatePolicy& policy = options.update;
  if (policy.report_only) return "report-only";
  if (!options.answers.silent && !options.answers.assume_default) return "answered";
  // Unasked, equal or newer firmware takes the question's default "n" unless a policy offers it.
  bool same = port.installed_version == port.available_version;
  bool newer = !same && !(port.installed_version < port.available_version);
  if (same && !policy.rewrite && !policy.force) return "equal";
  if (newer && !policy.downgrade && !policy.force) return "newer";
  return "policy";
}

void ConcludeUpdate(RunRecord& record, const UpdateOutcome& outcome,
                    const VersionFindings& findings, bool report_only) {
  if (outcome.failed) {
    if (outcome.interrupted)
      return record.Conclude(Outcome::kInterrupted, "before-flash", msg::kInterruptedBeforeFlash);
    return record.Conclude(outcome.done ? Outcome::kPartlyFailed : Outcome::kFailed, "",
                           msg::kCompletedWithErrors);
  }
  if (report_only) {
    if (findings.recommended)
      return record.Conclude(Outcome::kRecommended, "", msg::kUpdateRecommended);
    return record.Conclude(
        findings.installed_newer ? Outcome::kInstalledNewer : Outcome::kNotRecommended, "",
        msg::kUpdateNotRecommended);
  }
  if (outcome.done) return record.Conclude(Outcome::kUpdated, "", msg::kUpdateComplete);
  record.Conclude(Outcome::kNothingSelected, "", msg::kNothingSelected);
}

void VersionOnlyReportWriter::ReportRead(const VersionSummary& summary) {
  Ignore(WriteVersionOnlyReport(run_.options.report_file, summary, run_.ui, run_.protected_files),
         "logged; -ql tells afterwards whether the file exists");
}

ExitCode RunSelectedMode(RunContext& run) {
  switch (run.options.mode) {
    case RunMode::kShowInstalled:
      return ShowInstalledFirmware(run);
    case RunMode::kWriteReport:
      return WriteDiscoveryReport(run);
    case RunMode::kApplyReport:
      return ApplyDiscoveryReport(run);
    case RunMode::kVersionOnlyCheck:
      return CheckVersionOnlyReport(run);
    case RunMode::kDependencyCheck:
      return RunDependencyCheck(run);
    case RunMode::kUpdate:
      break;
  }
  return RunDefaultUpdate(run);
}

bool CheckUpdateDependencies(RunContext& run) {
  // Ports come back only from a report the tool wrote with exit code 0 and that held a
  // supported port, so the inventory alone tells whether the discovery succeeded, and the
  // driver rule refuses an empty one.
  Discover(run);
  if (EndsAfterInterrupt(run)) return false;
  if (!VerifyDependencies(run.inventory, run.ui)) {
    run.ui.Write(msg::kDependenciesFailed);
    // An empty inventory was concluded by its discovery.
    if (!run.inventory.empty())
      run.record.Conclude(Outcome::kDriverRefused, "", msg::kDependenciesFailed);
    return false;
  }
  return !EndsAfterInterrupt(run);
}

namespace {

// What the questions decided about each port, for the record.
void RecordDecision(RunContext& run, size_t port, Answer answer, bool flash) {
  if (port >= run.record.ports.size()) return;
  PortRecord& record = run.record.ports[port];
  record.decision = flash ? "flash" : "skip";
  record.cause = CauseOf(run.options, run.inventory[port]);
  if (!run.options.update.report_only) record.answer = AnswerWord(answer);
}

// A quit at a port flashes none: the others' entries say so.
void RecordQuit(RunContext& run, size_t at) {
  for (size_t port = 0; port < run.inventory.size() && port < run.record.ports.size(); ++port) {
    PortRecord& record = run.record.ports[port];
    if (port == at) continue;
    if (port < at && record.decision != "flash") continue;
    if (port < at) record.decision = "skip";
    record.cause = "quit";
  }
}

}  // namespace

void RecordSelection(RunContext& run, const SelectionResult& selection) {
  for (size_t port = 0; port < selection.asked.size(); ++port)
    RecordDecision(run, port, selection.asked[port].answer, selection.asked[port].flash);
  if (!selection.quit) return;
  if (selection.interrupted)
    run.record.Conclude(Outcome::kInterrupted, "at-question", msg::kInterruptedAtQuestion);
  else
    run.record.Conclude(Outcome::kCancelled, "", msg::kCancelledByUser);
  RecordQuit(run, selection.asked.size() - 1);
}

void RecordFlashes(RunContext& run, const UpdateOutcome& outcome) {
  for (const PortFlash& flash : outcome.flashes) {
    if (flash.port >= run.record.ports.size()) continue;
    PortRecord& port = run.record.ports[flash.port];
    port.tool = RecordOfCall(flash.call);
    port.outcome = FlashOutcome(run.inventory[flash.port], flash.flashed);
  }
}

ExitCode RunDefaultUpdate(RunContext& run) {
  if (!CheckUpdateDependencies(run)) return ExitCode::kFailed;
  SelectionResult selection = SelectionPhase(run.ui, run.options.update, run.inventory);
  RecordSelection(run, selection);
  if (selection.quit) return ExitCode::kNothingSelected;
  UpdateOutcome outcome = ApplyPhase(run.ui, run.tool, run.inventory, selection.plan);
  RecordFlashes(run, outcome);
  ConcludeUpdate(run.record, outcome, selection.findings, run.options.update.report_only);
  return ReportOutcome(outcome, selection.findings, run.options.update.report_only, run.ui);
}

ExitCode ShowInstalledFirmware(RunContext& run) {
  Discover(run);
  if (run.inventory.empty()) return ExitCode::kNoAdapters;
  // Adapter data may hold a '%': the table is printed as text, never as a format.
  run.ui.Print(msg::kText, InstalledFirmwareTable(run.inventory).c_str());
  run.record.Conclude(Outcome::kShown, "", "");
  return ExitCode::kShown;
}

ExitCode WriteDiscoveryReport(RunContext& run) {
  const std::string& report = run.options.report_file;
  // Held from before the discovery to the rename: a directory swapped in meanwhile is never
  // the one the report goes to, and an old report stays as it was until a new one replaces it.
  platform::HeldDirectory dir;
  platform::SystemResult<void> held = dir.Open(report);
  if (!CheckUpdateDependencies(run)) return ExitCode::kFailed;
  platform::SystemResult<std::string> place =
      held ? dir.MakePrivate(kPrivateReportDirectory)
           : platform::SystemResult<std::string>(held.error());
  // A tool that ends well but leaves no report has failed all the same.
  ToolResult call = place ? run.tool.Run(DiscoveryCommand(PrivateReportPath(*place)))
                          : ToolResult(MakeError(ToolFailure::kNotStarted));
  bool written = place && Succeeded(call) && dir.MoveIn(kPrivateReportFile).ok();
  dir.RemovePrivate();
  if (!written) {
    run.ui.Print(msg::kReportFailed, report.c_str());
    if (place && !Succeeded(call)) run.record.failed_call = RecordOfCall(ToolRunOf(call));
    const char* why = !place ? "no-directory" : Succeeded(call) ? "no-report" : "tool-exit-code";
    run.record.Conclude(Outcome::kReportFailed, why,
                        FormatText(msg::kReportFailed, report.c_str()));
    return ExitCode::kFailed;
  }
  run.ui.Print(msg::kReportWritten, report.c_str());
  run.record.Conclude(Outcome::kReportWritten, "", FormatText(msg::kReportWritten, report.c_str()));
  return ExitCode::kReportWritten;
}

ExitCode ApplyDiscoveryReport(RunContext& run) {
  const std::string& report = run.options.report_file;
  if (!platform::FileExists(report)) {
    run.ui.Write(msg::kApplyFileMissing, report.c_str());
    run.ui.Error(msg::kApplyFileMissing, report.c_str());
    run.record.Conclude(Outcome::kApplyFileMissing, "",
                        FormatText(msg::kApplyFileMissing, report.c_str()));
    return ExitCode::kFailed;
  }
  Ignore(LoadFirmwareCatalog(&run.catalog, run.ui), "logged; the tool reads the report alone");
  ToolResult call = run.tool.Run(ApplyReportCommand(report));
  if (!Succeeded(call)) {
    run.ui.Print(msg::kApplyFailed, report.c_str());
    run.record.failed_call = RecordOfCall(ToolRunOf(call));
    run.record.Conclude(Outcome::kApplyFailed, call ? "tool-exit-code" : "tool-missing",
                        FormatText(msg::kApplyFailed, report.c_str()));
    return ExitCode::kFailed;
  }
  UpdateOutcome outcome;
  outcome.done = true;
  run.record.Conclude(Outcome::kApplied, "", msg::kUpdateComplete);
  return ReportOutcome(outcome, {}, run.options.update.report_only, run.ui);
}

ExitCode CheckVersionOnlyReport(RunContext& run) {
  Discover(run);
  if (run.inventory.empty()) {
    run.ui.Print(msg::kNoSupportedAdapters);
    return ExitCode::kNoAdaptersForCheck;
  }
  const std::string& name = run.options.report_file;
  if (platform::FileExists(name)) {
    run.ui.Print(msg::kVersionOnlyFileCreated, name.c_str());
    run.record.Conclude(Outcome::kVersionFileFound, "",
                        FormatText(msg::kVersionOnlyFileCreated, name.c_str()));
    return ExitCode::kVersionFileFound;
  }
  run.ui.Print(msg::kVersionOnlyFileMissing, name.c_str());
  run.record.Conclude(Outcome::kVersionFileMissing, "",
                      FormatText(msg::kVersionOnlyFileMissing, name.c_str()));
  return ExitCode::kVersionFileMissing;
}

ExitCode RunDependencyCheck(RunContext& run) {
  Discover(run);
  if (VerifyDependencies(run.inventory, run.ui)) {
    run.record.Conclude(Outcome::kDriverAllowed, "", "");
    return ExitCode::kDriverAllowed;
  }
  if (!run.inventory.empty()) run.record.Conclude(Outcome::kDriverRefused, "", "");
  return ExitCode::kDriverRefused;
}
