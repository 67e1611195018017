#include "update/firmware.h"

#include "messages/messages.h"
#include "platform/platform.h"

UpdaterList CreateUpdaterList(UserInterface& ui, FlashTool& tool, const UpdatePolicy& policy) {
  UpdaterList updaters;
  updaters.push_back(std::make_unique<VAroruFirmware>(ui, tool, policy));
  return updaters;
}

bool IsToBeFlashed(const AdapterRecord& a) {
  return (a.flags & AdapterRecord::kSelected) && a.action != "skip";
}

Answer VAroruFirmware::SelectAdapter(AdapterRecord& a, UpdateOutcome* outcome) {
  if (!(a.flags & AdapterRecord::kSupported)) return Answer::kNo;
  ui_.Print(msg::kFoundPort, a.product_id.c_str(), a.macaddress.c_str(),
            a.installed_version.Format());

  Answer answer = ConfirmUpdate(a, outcome);
  switch (answer) {
    case Answer::kYes:
      a.flags |= AdapterRecord::kSelected;
      break;
    case Answer::kNextAdapter:
      a.flags &= ~static_cast<uint32_t>(AdapterRecord::kSelected);
      break;
    case Answer::kQuit:
    case Answer::kNo:
      a.flags = 0;
      break;
  }
  return answer;
}

std::string VAroruFirmware::UpdatePrompt(const AdapterRecord& adapter) {
  FirmwareVersion installed = adapter.installed_version;
  FirmwareVersion available = adapter.available_version;
  return FormatText(msg::kUpdatePrompt, adapter.device_id.c_str(), adapter.bdf.c_str(),
                    installed.Format(), available.Format());
}

Answer VAroruFirmware::ConfirmUpdate(const AdapterRecord& a, UpdateOutcome* outcome) {
  std::string question = UpdatePrompt(a);
  bool older = a.installed_version < a.available_version;
  bool same = a.installed_version == a.available_version;

  if (policy_.report_only) {
    (older ? outcome->recommended : same ? outcome->same_version : outcome->installed_newer) = true;
    return Answer::kNo;
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
  return ui_.Ask(question, defaults);
}

void VAroruFirmware::UpgradeAdapter(const AdapterRecord& a, UpdateOutcome* outcome) {
  if (!IsToBeFlashed(a)) return;
  WriteOnce(&patience_notice_, ui_, msg::kText, msg::kPatience);
  ui_.Print(msg::kSelectingPort, a.product_id.c_str(), a.macaddress.c_str());

  ToolResult flash = tool_.Flash(a.bdf);
  if (Succeeded(flash)) {
    outcome->done = true;
    ui_.Print(msg::kUpgradeSucceeded, a.macaddress.c_str());
    platform::SleepMilliseconds(10);
  } else {
    outcome->failed = true;
    ui_.Print(msg::kUpgradeFailed, static_cast<int>(ExitCodeOf(flash)), CommandOf(flash).c_str());
  }
}
