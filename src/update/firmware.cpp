#include "update/firmware.h"

#include <sstream>

#include "app/run_flags.h"
#include "inventory/adapter_inventory.h"
#include "inventory/catalog.h"
#include "platform/platform.h"
#include "ui/user_interface.h"
#include "update/flash_tool.h"

namespace {

Firmware* g_updaters[2] = {nullptr, nullptr};
int g_updater_count = 0;

AdapterRecord& CurrentAdapter() {
  return AdapterAt(static_cast<size_t>(CurrentAdapterIndex()));
}

}  // namespace

void CreateUpdaterList() {
  if (g_updater_count == 0) g_updaters[g_updater_count++] = new VAroruFirmware();
}

int UpdaterCount() {
  return g_updater_count;
}
Firmware* UpdaterAt(int index) {
  return g_updaters[index];
}

void VAroruFirmware::SelectAdapter() {
  AdapterRecord& a = CurrentAdapter();
  if (!(a.flags & AdapterRecord::kSupported)) return;
  UI().Print("Found %s MAC: %-17s (v%s)\n", a.product_id.c_str(), a.macaddress.c_str(),
             a.installed_version.Format());
  if (a.image_file.find("n/a") != std::string::npos) {
    UI().Write("Failed to get firmware image filename from %s.\n", kSupportingFileName);
    return;
  }
  a.selected_image = a.image_file;

  switch (ConfirmUpdate()) {
    case kAnswerYes:
      a.flags |= AdapterRecord::kSelected;
      break;
    case kAnswerNextAdapter:
      a.flags &= ~static_cast<uint32_t>(AdapterRecord::kSelected);
      RunFlags::Set(RunFlags::SkipAdapter);
      break;
    case kAnswerQuit:
      a.flags = 0;
      RunFlags::Set(RunFlags::UserCancelled);
      break;
    default:
      a.flags = 0;
      break;
  }
}

std::ostream& VAroruFirmware::WriteUpdatePrompt(std::ostream& out) {
  AdapterRecord& a = CurrentAdapter();
  out << "Update firmware on '" << a.device_id << "' (" << a.bdf << ") : \n"
      << "From ROM " << a.installed_version.Format() << " to " << a.available_version.Format()
      << "? ";
  return out;
}

int VAroruFirmware::ConfirmUpdate() {
  std::ostringstream question;
  WriteUpdatePrompt(question);
  AdapterRecord& a = CurrentAdapter();
  bool older = a.installed_version < a.available_version;
  bool same = a.installed_version == a.available_version;

  if (RunFlags::IsSet(RunFlags::ReportOnly)) {
    RunFlags::Set(older  ? RunFlags::UpdateRecommended
                  : same ? RunFlags::SameVersion
                         : RunFlags::InstalledNewer);
    return kAnswerNo;
  }

  int silent_answer = kAnswerYes;
  int empty_answer = kAnswerYes;
  const char* default_text = "y";
  if (same) {
    UI().Print("*** WARNING *** - Installed firmware is the same version as selected firmware\n");
    if (!RunFlags::IsSet(RunFlags::Rewrite | RunFlags::Force)) {
      silent_answer = empty_answer = kAnswerNo;
      default_text = "n";
    }
  } else if (!older) {
    UI().Print("*** WARNING *** - Installed firmware is more recent than selected firmware\n");
    if (!RunFlags::IsSet(RunFlags::Downgrade | RunFlags::Force)) {
      silent_answer = empty_answer = kAnswerNo;
      default_text = "n";
    }
  }
  return UI().Ask(question.str(), silent_answer, kAnswerYes, empty_answer, default_text);
}

void VAroruFirmware::UpgradeAdapter() {
  AdapterRecord& a = CurrentAdapter();
  if (!(a.flags & AdapterRecord::kSelected) || a.action == "skip") return;
  WriteOnce(&patience_notice_, UI(), "%s",
            "The Firmware upgrade will take several minutes. Please be patient.\n");
  UI().Print("Selecting %s MAC: %-12s \n", a.product_id.c_str(), a.macaddress.c_str());

  std::string command = FlashCommand(a.bdf);
  uint32_t exit_code = 0;
  if (RunExternalCommand(command, "", &exit_code) && exit_code == 0) {
    RunFlags::Set(RunFlags::UpdateDone);
    UI().Print("MAC %s upgrade SUCCESS!\n", a.macaddress.c_str());
    platform::SleepMilliseconds(10);
  } else {
    RunFlags::Set(RunFlags::UpdateFailed);
    UI().Print("Command to upgrade firmware failed with internal error code %d\n\tCommand: %s\n",
               static_cast<int>(exit_code), command.c_str());
  }
}
