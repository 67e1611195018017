#include "app/run_modes.h"

#include "app/run_flags.h"
#include "env/dependencies.h"
#include "env/file_exists.h"
#include "inventory/adapter_inventory.h"
#include "inventory/catalog.h"
#include "inventory/discovery.h"
#include "platform/platform.h"
#include "ui/user_interface.h"
#include "update/firmware.h"
#include "update/flash_tool.h"
#include "update/tool_runner.h"

namespace {

bool ToolSucceeded(const std::string& command) {
  uint32_t exit_code = 0;
  return RunExternalCommand(command, "", &exit_code) && exit_code == 0;
}

}  // namespace

int CheckUpdateDependencies() {
  if (!DependenciesVerified() && VerifyDependencies() != 0) {
    UI().Write("Dependencies Failed -- Driver and firmware set are not allowed for update.\n");
    return -1;
  }
  if (DiscoverAdapters() != 0 || AdapterListLength() == 0) return -1;
  return static_cast<int>(SupportedAdapterCount());
}

int SelectionPhase(int adapter_count) {
  for (int i = 0; i < adapter_count; ++i) {
    SetCurrentAdapterIndex(i);
    for (int u = 0; u < UpdaterCount(); ++u) {
      if (!RunFlags::IsSet(RunFlags::SkipAdapter | RunFlags::UserCancelled))
        UpdaterAt(u)->SelectAdapter();
    }
    if (RunFlags::IsSet(RunFlags::SkipAdapter)) {
      RunFlags::Clear(RunFlags::SkipAdapter);
    } else if (RunFlags::IsSet(RunFlags::UserCancelled)) {
      UI().Print("\nFirmware upgrade cancelled by User \n");
      return 3;
    }
  }
  return 0;
}

void ApplyPhase(int adapter_count) {
  for (int i = 0; i < adapter_count; ++i) {
    SetCurrentAdapterIndex(i);
    for (int u = 0; u < UpdaterCount(); ++u) UpdaterAt(u)->UpgradeAdapter();
  }
}

int ReportOutcome() {
  if (RunFlags::IsSet(RunFlags::UpdateFailed)) {
    UI().Print("\nNIC firmware update completed with errors. \n");
    return 0;
  }
  if (RunFlags::IsSet(RunFlags::ReportOnly)) {
    if (RunFlags::IsSet(RunFlags::UpdateRecommended)) {
      UI().Print("\nNIC firmware update is recommended.\n");
      return 4;
    }
    UI().Print("\nNIC firmware update is not recommended.\n");
    return RunFlags::IsSet(RunFlags::InstalledNewer) ? 6 : 5;
  }
  if (RunFlags::IsSet(RunFlags::UpdateDone)) {
    UI().Print("\nNIC firmware update complete.\n");
    return 2;
  }
  UI().Print("\nNo firmware is selected for update.\n");
  return 3;
}

int RunDefaultUpdate() {
  int count = CheckUpdateDependencies();
  if (count == -1) return 0;
  int result = SelectionPhase(count);
  if (result != 0) return result;
  ApplyPhase(count);
  return ReportOutcome();
}

int WriteDiscoveryReport() {
  if (CheckUpdateDependencies() == -1) return 0;
  const std::string& report = ReportFileName();
  if (FileExists(report)) platform::RemoveFile(report);
  // A tool that ends well but leaves no report has failed all the same.
  if (!ToolSucceeded(DiscoveryCommand(report)) || !FileExists(report)) {
    UI().Print("\nFailed to generate NIC discovery report to %s.\n", report.c_str());
    return 0;
  }
  UI().Print("\nSuccessfully generated NIC discovery report to %s.\n", report.c_str());
  return 1;
}

int ApplyDiscoveryReport() {
  const std::string& report = ReportFileName();
  if (!FileExists(report)) {
    UI().Write("Error: Discovery file %s not found!.\n", report.c_str());
    return 0;
  }
  LoadFirmwareCatalog();
  if (!ToolSucceeded(ApplyReportCommand(report))) {
    UI().Print("Error: Failed to process discovery file %s.\n", report.c_str());
    return 0;
  }
  RunFlags::Set(RunFlags::UpdateDone);
  return ReportOutcome();
}

int RunDependencyCheck() {
  return DependenciesVerified() ? 0 : VerifyDependencies();
}
