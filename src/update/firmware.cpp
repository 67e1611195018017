#include "update/firmware.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "tool/command_lines.h"

UpdaterList CreateUpdaterList(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy) {
  UpdaterList updaters;
  updaters.push_back(std::make_unique<VAroruFirmware>(ui, tool, policy));
  return updaters;
}

PortSelection VAroruFirmware::SelectAdapter(const AdapterRecord& a) {
  if (!(a.flags & AdapterRecord::kSupported)) return {};
  FirmwareVersion installed = a.installed_version;
  ui_.Print(msg::kFoundPort, a.product_id.c_str(), a.macaddress.c_str(), installed.Format());

  Confirmation confirmed = ConfirmUpdate(a);
  // A port its report marks "skip" may be chosen, but it is never flashed.
  bool flash = confirmed.answer == Answer::kYes && a.action != "skip";
  return {confirmed.answer, flash, confirmed.found};
}

std::string VAroruFirmware::UpdatePrompt(const AdapterRecord& adapter) {
  FirmwareVersion installed = adapter.installed_version;
  FirmwareVersion available = adapter.available_version;
  return FormatText(msg::kUpdatePrompt, adapter.device_id.c_str(), adapter.bdf.c_str(),
                    installed.Format(), available.Format());
}

Confirmation VAroruFirmware::ConfirmUpdate(const AdapterRecord& a) {
  std::string question = UpdatePrompt(a);
  bool older = a.installed_version < a.available_version;
  bool same = a.installed_version == a.available_version;

  if (policy_.report_only) {
    Confirmation compared;
    (older  ? compared.found.recommended
     : same ? compared.found.same_version
            : compared.found.installed_newer) = true;
    return compared;
  }

  // -f offers every change, so a forced silent run answers yes to each.
  QuestionDefaults defaults;
  if (same) {
    ui_.Print(msg::kSameVersionWarning);
    if (!policy_.rewrite && !policy_.force) defaults = {Answer::kNo, Answer::kNo, "n"};
  } else if (!older) {
    ui_.Print(msg::kNewerVersionWarning);
    if (!policy_.downgrade && !policy_.force) defaults = {Answer::kNo, Answer::kNo, "n"};
  }
  return {ui_.Ask(question, defaults), {}};
}

Expected<void, ToolExitCode> VAroruFirmware::UpgradeAdapter(const AdapterRecord& a, ToolRun* call) {
  WriteOnce(&patience_notice_, ui_, msg::kText, msg::kPatience);
  ui_.Print(msg::kSelectingPort, a.product_id.c_str(), a.macaddress.c_str());

  ToolResult flash = tool_.Run(FlashCommand(a.bdf));
  if (call) *call = ToolRunOf(flash);
  if (Succeeded(flash)) {
    ui_.Print(msg::kUpgradeSucceeded, a.macaddress.c_str());
    platform::SleepMilliseconds(10);
    return {};
  }
  ui_.Print(msg::kUpgradeFailed, static_cast<int>(ExitCodeOf(flash)), CommandOf(flash).c_str());
  return MakeError(ToolExitCode{ExitCodeOf(flash)}, CommandOf(flash));
}
