#include "app/program.h"

#include <cstdio>
#include <exception>

#include "app/command_line.h"
#include "app/run_flags.h"
#include "app/run_modes.h"
#include "env/file_exists.h"
#include "env/instance_lock.h"
#include "inventory/adapter_inventory.h"
#include "inventory/hardware_flags.h"
#include "inventory/installed_firmware.h"
#include "platform/platform.h"
#include "ui/user_interface.h"
#include "update/firmware.h"

namespace {

constexpr int kConsoleColumns = 121;
constexpr int kConsoleRows = 65;
constexpr const char kUnexpectedError[] =
    "An unexpected error has occurred.  Firmware update will not be completed.\n";

int RunSelectedMode() {
  if (RunFlags::IsSet(RunFlags::ShowInstalled)) return ShowInstalledFirmware();
  if (RunFlags::IsSet(RunFlags::WriteReport)) return WriteDiscoveryReport();
  if (RunFlags::IsSet(RunFlags::ApplyReport)) return ApplyDiscoveryReport();
  if (RunFlags::IsSet(RunFlags::VersionOnlyCheck)) return CheckVersionOnlyReport();
  if (RunFlags::IsSet(RunFlags::VersionOnlyReport)) return RunDependencyCheck();
  return RunDefaultUpdate();
}

int RunModeGuarded() {
  try {
    return RunSelectedMode();
  } catch (const std::exception& e) {
    UI().Print("%s%s", kUnexpectedError, e.what());
  } catch (...) {
    UI().Print("%s", kUnexpectedError);
  }
  return 0;
}

}  // namespace

std::string PrepareLogFile() {
  char sep = platform::PathSeparator();
  std::string drive = platform::SystemDrive();
  std::string dir = drive + sep + "tlvsystem";
  platform::MakeDirectory(dir);  // usually there already
  dir += sep;
  dir += "log";
  platform::MakeDirectory(dir);
  std::string path = dir + sep + "nxflash.log";
  if (std::FILE* log = std::fopen(path.c_str(), "a")) std::fclose(log);
  return path;
}

bool CheckSupportingFile() {
  if (!FileExists(kSupportingFileName)) {
    UI().Print("Supporting file %s is missing. Cannot proceed.\n", kSupportingFileName);
    return false;
  }
  CreateUpdaterList();
  return VerifyInstance();
}

bool InitializeProgram() {
  try {
    platform::SetConsoleWindowTitle(kProgramTitle);
    std::string log_path = PrepareLogFile();
    InstallUserInterface(new UserInterface(log_path, kConsoleColumns, kConsoleRows));
    return CheckSupportingFile();
  } catch (...) {
    if (HasUserInterface()) UI().Print("Error initializing FW upgrade software.\n");
    return false;
  }
}

std::string GetOwnFileVersion() {
  std::string version = platform::OwnFileVersion();
  return version.empty() ? "0.0.0.0" : version;
}

void ShowBanner() {
  const std::string dashes(77, '-');
  UI().Print("%s\n", dashes.c_str());
  UI().Print("%s (%s)\n", kProgramTitle, GetOwnFileVersion().c_str());
  UI().Print("%s\n", kCopyrightLine);
  UI().Print("%s\n\n", dashes.c_str());
}

void LogTimestamp(const char* label) {
  UI().Write("%s: %s\n", label, platform::LocalTimeText().c_str());
}

void LogCommandLine(int argc, char** argv) {
  UI().Write("Command line supplied:\n\t");
  for (int i = 0; i < argc; ++i) UI().Write("%s ", argv[i]);
  UI().Write("\n");
}

void PostRunHardwareFlagsCheck(void (*check)()) {
  if (SupportedAdapterCount() == 0 || RunFlags::IsSet(RunFlags::ReportOnly)) return;
  // The check runs outside the mode's handler; whatever escapes it must not change the
  // exit code or end the run without its closing line.
  try {
    check();
  } catch (const std::exception& e) {
    UI().Write("Error: the iPE/dPE setting verification ended unexpectedly: %s\n", e.what());
  } catch (...) {
    UI().Write("Error: the iPE/dPE setting verification ended unexpectedly.\n");
  }
}

int RunProgram(int argc, char** argv) {
  if (!InitializeProgram()) return 0;

  bool accepted = ParseCommandLine(argc, argv) && CheckOptionCompatibility();
  UI().SetModes(RunFlags::IsSet(RunFlags::Silent), RunFlags::IsSet(RunFlags::Debug),
                RunFlags::IsSet(RunFlags::AssumeDefault));
  ShowBanner();
  LogCommandLine(argc, argv);
  LogTimestamp("Upgrade began");
  if (!accepted) {
    ShowUsage(argv[0]);
    return 0;
  }

  int exit_code = RunModeGuarded();
  LogTimestamp("Upgrade completed");
  PostRunHardwareFlagsCheck();
  UI().Write("Exiting with code %d\n", exit_code);
  return exit_code;
}
