#include "app/run_modes.h"

#include <string>

#include "env/dependencies.h"
#include "inventory/installed_firmware.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "tool/command_lines.h"

namespace {

// Every mode's discovery: the ports found become the run's inventory, and only they tell
// the modes what the discovery gave (a failed one finds none).
void Discover(RunContext& run) {
  VersionOnlyReportWriter writer(run);
  run.inventory = DiscoverAdapters(run.tool, &run.catalog, run.ui, writer.ForMode()).ports;
}

// After an interrupt the running tool call has finished; the run starts no other.
bool EndsAfterInterrupt(RunContext& run) {
  if (!platform::InterruptRequested()) return false;
  run.ui.Print(msg::kInterruptedAfterDiscovery);
  return true;
}

}  // namespace

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
    return false;
  }
  return !EndsAfterInterrupt(run);
}

SelectionResult SelectionPhase(RunContext& run, UpdaterList& updaters) {
  SelectionResult result;
  for (size_t port = 0; port < run.inventory.size(); ++port) {
    const AdapterRecord& adapter = run.inventory[port];
    // A port is flashed only when every updater said yes; once one said no, the others are
    // not asked about it.
    bool every_yes = true;
    UpdatePlan steps;
    for (auto& updater : updaters) {
      Answer answer = Answer::kNo;
      if (every_yes) {
        PortSelection selection = updater->SelectAdapter(adapter);
        answer = selection.answer;
        result.findings |= selection.found;
        every_yes = answer == Answer::kYes;
        if (selection.flash) steps.push_back({port, updater.get()});
      }
      // An interrupt at the questions answers q: nothing is flashed.
      if (platform::InterruptRequested()) {
        run.ui.Print(msg::kInterruptedAtQuestion);
        answer = Answer::kQuit;
      }
      if (answer == Answer::kNextAdapter) break;
      if (answer == Answer::kQuit) {
        run.ui.Print(msg::kCancelledByUser);
        result.plan.clear();
        result.quit = true;
        return result;
      }
    }
    if (every_yes) result.plan.insert(result.plan.end(), steps.begin(), steps.end());
  }
  return result;
}

UpdateOutcome ApplyPhase(RunContext& run, const UpdatePlan& plan) {
  UpdateOutcome outcome;
  bool interrupted = false;
  bool leave_port = false;
  for (size_t i = 0; i < plan.size(); ++i) {
    const PlannedFlash& step = plan[i];
    const AdapterRecord& adapter = run.inventory[step.port];
    // A flash that has begun always runs to its end; after an interrupt no port's flashes begin.
    if (i == 0 || plan[i - 1].port != step.port) {
      leave_port = platform::InterruptRequested();
      if (leave_port) {
        if (!interrupted) run.ui.Print(msg::kInterruptedBeforeFlash);
        interrupted = true;
        run.ui.Print(msg::kPortNotUpdated, adapter.macaddress.c_str(), adapter.bdf.c_str());
        outcome.failed = true;
      }
    }
    if (leave_port) continue;
    Expected<void> flashed = step.updater->UpgradeAdapter(adapter);
    (flashed ? outcome.done : outcome.failed) = true;
  }
  return outcome;
}

ExitCode ReportOutcome(const UpdateOutcome& outcome, const VersionFindings& findings,
                       bool report_only, UserInterface& ui) {
  if (outcome.failed) {
    ui.Print(msg::kCompletedWithErrors);
    return ExitCode::kFailed;
  }
  if (report_only) {
    if (findings.recommended) {
      ui.Print(msg::kUpdateRecommended);
      return ExitCode::kRecommended;
    }
    ui.Print(msg::kUpdateNotRecommended);
    return findings.installed_newer ? ExitCode::kNotRecommendedNewer
                                    : ExitCode::kNotRecommendedSame;
  }
  if (outcome.done) {
    ui.Print(msg::kUpdateComplete);
    return ExitCode::kUpdateComplete;
  }
  ui.Print(msg::kNothingSelected);
  return ExitCode::kNothingSelected;
}

ExitCode RunDefaultUpdate(RunContext& run) {
  if (!CheckUpdateDependencies(run)) return ExitCode::kFailed;
  UpdaterList updaters = CreateUpdaterList(run.ui, run.tool, run.options.update);
  SelectionResult selection = SelectionPhase(run, updaters);
  if (selection.quit) return ExitCode::kNothingSelected;
  UpdateOutcome outcome = ApplyPhase(run, selection.plan);
  return ReportOutcome(outcome, selection.findings, run.options.update.report_only, run.ui);
}

ExitCode ShowInstalledFirmware(RunContext& run) {
  Discover(run);
  if (run.inventory.empty()) return ExitCode::kNoAdapters;
  // Adapter data may hold a '%': the table is printed as text, never as a format.
  run.ui.Print(msg::kText, InstalledFirmwareTable(run.inventory).c_str());
  return ExitCode::kShown;
}

ExitCode WriteDiscoveryReport(RunContext& run) {
  const std::string& report = run.options.report_file;
  // Held from before the discovery to the rename: a directory swapped in meanwhile is never
  // the one the report goes to, and an old report stays as it was until a new one replaces it.
  platform::HeldDirectory dir;
  Expected<void> held = dir.Open(report);
  if (!CheckUpdateDependencies(run)) return ExitCode::kFailed;
  Expected<std::string> place =
      held ? dir.MakePrivate(kPrivateReportDirectory) : Expected<std::string>(held.error());
  // A tool that ends well but leaves no report has failed all the same.
  bool written = place && Succeeded(run.tool.Discover(PrivateReportPath(*place))) &&
                 dir.MoveIn(kPrivateReportFile).ok();
  dir.RemovePrivate();
  if (!written) {
    run.ui.Print(msg::kReportFailed, report.c_str());
    return ExitCode::kFailed;
  }
  run.ui.Print(msg::kReportWritten, report.c_str());
  return ExitCode::kReportWritten;
}

ExitCode ApplyDiscoveryReport(RunContext& run) {
  const std::string& report = run.options.report_file;
  if (!platform::FileExists(report)) {
    run.ui.Write(msg::kApplyFileMissing, report.c_str());
    run.ui.Error(msg::kApplyFileMissing, report.c_str());
    return ExitCode::kFailed;
  }
  Ignore(LoadFirmwareCatalog(&run.catalog, run.ui), "logged; the tool reads the report alone");
  if (!Succeeded(run.tool.ApplyReport(report))) {
    run.ui.Print(msg::kApplyFailed, report.c_str());
    return ExitCode::kFailed;
  }
  UpdateOutcome outcome;
  outcome.done = true;
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
    return ExitCode::kVersionFileFound;
  }
  run.ui.Print(msg::kVersionOnlyFileMissing, name.c_str());
  return ExitCode::kVersionFileMissing;
}

ExitCode RunDependencyCheck(RunContext& run) {
  Discover(run);
  return VerifyDependencies(run.inventory, run.ui) ? ExitCode::kDriverAllowed
                                                   : ExitCode::kDriverRefused;
}
