#include "adapter/update/firmware.h"

#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"

PortSelection SelectAdapter(UserInterface& ui, const UpdatePolicy& policy, const AdapterRecord& a) {
  FirmwareVersion installed = a.installed_version;
  ui.Print(msg::kFoundPort, a.product_id.c_str(), a.macaddress.c_str(), installed.Format());

  Confirmation confirmed = ConfirmUpdate(ui, policy, a);
  // A port its report marks "skip" may be chosen, but it is never flashed.
  bool flash = confirmed.answer == Answer::kYes && a.action != "skip";
  return {confirmed.answer, flash, confirmed.found};
}

std::string UpdatePrompt(const AdapterRecord& adapter) {
  FirmwareVersion installed = adapter.installed_version;
  FirmwareVersion available = adapter.available_version;
  return FormatText(msg::kUpdatePrompt, adapter.device_id.c_str(), adapter.bdf.c_str(),
                    installed.Format(), available.Format());
}

Confirmation ConfirmUpdate(UserInterface& ui, const UpdatePolicy& policy, const AdapterRecord& a) {
  std::string question = UpdatePrompt(a);
  bool older = a.installed_version < a.available_version;
  bool same = a.installed_version == a.available_version;

  if (policy.report_only) {
    Confirmation compared;
    (older  ? compared.found.recommended
     : same ? compared.found.same_version
            : compared.found.installed_newer) = true;
    return compared;
  }

  // -f offers every change, so a forced silent run answers yes to each.
  QuestionDefaults defaults;
  if (same) {
    ui.Print(msg::kSameVersionWarning);
    if (!policy.rewrite && !policy.force) defaults = {Answer::kNo, Answer::kNo, "n"};
  } else if (!older) {
    ui.Print(msg::kNewerVersionWarning);
    if (!policy.downgrade && !policy.force) defaults = {Answer::kNo, Answer::kNo, "n"};
  }
  return {ui.Ask(question, defaults), {}};
}

Expected<void, ToolExitCode> UpgradeAdapter(UserInterface& ui, FlashTool& tool,
                                            const AdapterRecord& a, OneTimeNotice& patience,
                                            ToolRun* call) {
  WriteOnce(&patience, ui, msg::kText, msg::kPatience);
  ui.Print(msg::kSelectingPort, a.product_id.c_str(), a.macaddress.c_str());

  ToolResult flash = tool.Run(FlashCommand(a.bdf));
  if (call) *call = ToolRunOf(flash);
  if (Succeeded(flash)) {
    ui.Print(msg::kUpgradeSucceeded, a.macaddress.c_str());
    platform::SleepMilliseconds(10);
    return {};
  }
  ui.Print(msg::kUpgradeFailed, static_cast<int>(ExitCodeOf(flash)), CommandOf(flash).c_str());
  return MakeError(ToolExitCode{ExitCodeOf(flash)}, CommandOf(flash));
}

SelectionResult SelectionPhase(UserInterface& ui, const UpdatePolicy& policy,
                               const AdapterInventory& ports) {
  SelectionResult result;
  for (const AdapterRecord& adapter : ports) {
    result.asked.push_back(SelectAdapter(ui, policy, adapter));
    PortSelection& selection = result.asked.back();
    result.findings |= selection.found;
    // An interrupt at the questions answers q: nothing is flashed.
    if (platform::InterruptRequested()) {
      ui.Print(msg::kInterruptedAtQuestion);
      selection.answer = Answer::kQuit;
      selection.flash = false;
      result.interrupted = true;
    }
    if (selection.answer == Answer::kQuit) {
      ui.Print(msg::kCancelledByUser);
      result.plan.clear();
      result.quit = true;
      return result;
    }
    if (selection.flash) result.plan.push_back(result.asked.size() - 1);
  }
  return result;
}

UpdateOutcome ApplyPhase(UserInterface& ui, FlashTool& tool, const AdapterInventory& ports,
                         const UpdatePlan& plan) {
  UpdateOutcome outcome;
  OneTimeNotice patience;
  for (size_t port : plan) {
    const AdapterRecord& adapter = ports[port];
    // A flash that has begun always runs to its end; after an interrupt no other begins.
    if (platform::InterruptRequested()) {
      if (!outcome.interrupted) ui.Print(msg::kInterruptedBeforeFlash);
      outcome.interrupted = true;
      outcome.failed = true;
      ui.Print(msg::kPortNotUpdated, adapter.macaddress.c_str(), adapter.bdf.c_str());
      continue;
    }
    PortFlash flash;
    flash.port = port;
    flash.flashed = UpgradeAdapter(ui, tool, adapter, patience, &flash.call).ok();
    (flash.flashed ? outcome.done : outcome.failed) = true;
    outcome.flashes.push_back(flash);
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
