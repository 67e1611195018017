#include "app/program.h"

#include <cstdio>
#include <exception>

#include "app/command_line.h"
#include "app/run_modes.h"
#include "env/instance_lock.h"
#include "inventory/hardware_flags.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "tool/command_lines.h"
#include "tool/process_flash_tool.h"

namespace {

constexpr int kConsoleColumns = 121;
constexpr int kConsoleRows = 65;

ExitCode RunModeGuarded(RunContext& run) {
  try {
    return RunSelectedMode(run);
  } catch (const std::exception& e) {
    run.ui.Print(msg::kUnexpectedError);
    run.ui.Print(msg::kLine, e.what());
  } catch (...) {
    run.ui.Print(msg::kUnexpectedError);
  }
  return ExitCode::kFailed;
}

bool CheckSupportingFile(UserInterface& ui) {
  if (!platform::FileExists(kSupportingFileName)) {
    ui.Print(msg::kSupportingFileMissing, kSupportingFileName);
    return false;
  }
  return VerifyInstance(ui, platform::RunningProcessNames);
}

void ShowBanner(UserInterface& ui) {
  const std::string dashes(77, '-');
  ui.Print(msg::kLine, dashes.c_str());
  ui.Print(msg::kBannerTitle, msg::kProgramTitle, platform::OwnFileVersion().c_str());
  ui.Print(msg::kLine, msg::kCopyrightLine);
  ui.Print(msg::kLineAndBlank, dashes.c_str());
}

void LogTimestamp(UserInterface& ui, const char* label) {
  ui.Write(msg::kTimestamp, label, platform::LocalTimeText().c_str());
}

void LogCommandLine(UserInterface& ui, int argc, char** argv) {
  ui.Write(msg::kCommandLineSupplied);
  for (int i = 0; i < argc; ++i) ui.Write(msg::kCommandLineWord, argv[i]);
  ui.Write(msg::kNewLine);
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

bool IsProtectedReportFile(const std::string& name) {
  std::string own = platform::OwnExecutablePath();
  std::string own_dir = own.substr(0, own.find_last_of("/\\") + 1);
  const std::string protected_files[] = {
      kSupportingFileName, kDiscoveryReportFile,     kHardwareFlagsCaptureFile,   kFlashToolName,
      kFlashToolX86Name,   own_dir + kFlashToolName, own_dir + kFlashToolX86Name, own,
      LockFilePath(),
  };
  for (const std::string& file : protected_files) {
    if (!file.empty() && platform::SamePath(name, file)) return true;
  }
  return false;
}

bool InitializeProgram(std::unique_ptr<UserInterface>* ui, platform::InstanceLock* instance,
                       std::FILE* errors) {
  try {
    platform::SetConsoleWindowTitle(msg::kProgramTitle);
    std::string log_path = PrepareLogFile();
    *ui = std::make_unique<UserInterface>(log_path, kConsoleColumns, kConsoleRows);
    (*ui)->SetErrorOutput(errors);
    (*ui)->EnableProgress(platform::StdoutIsConsole());
    return TakeInstanceLock(instance, **ui) && CheckSupportingFile(**ui);
  } catch (...) {
    if (*ui) (*ui)->Print(msg::kInitializationError);
    return false;
  }
}

void CheckHardwareFlags(RunContext& run) {
  VersionOnlyReportWriter writer(run);
  RunHardwareFlagsCheck(run.tool, &run.catalog, run.ui, writer.ForMode());
}

void PostRunHardwareFlagsCheck(RunContext& run, void (*check)(RunContext&)) {
  if (run.inventory.empty() || run.options.update.report_only) return;
  // After an interrupt no new tool run starts.
  if (platform::InterruptRequested()) {
    run.ui.Write(msg::kCheckInterrupted);
    return;
  }
  // The check runs outside the mode's handler; whatever escapes it must not change the
  // exit code or end the run without its closing line.
  try {
    check(run);
  } catch (const std::exception& e) {
    run.ui.Write(msg::kCheckEndedUnexpectedlyWhat, e.what());
  } catch (...) {
    run.ui.Write(msg::kCheckEndedUnexpectedly);
  }
}

ExitCode RunAfterStartUp(UserInterface& ui, FlashTool& tool, int argc, char** argv) {
  ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  const Options& options = parsed.options;
  ui.SetModes(options.answers.silent, options.debug, options.answers.assume_default);
  ShowBanner(ui);
  LogCommandLine(ui, argc, argv);
  LogTimestamp(ui, msg::kUpgradeBegan);
  if (!parsed.accepted) {
    ShowUsage(ui, argv[0]);
    return ExitCode::kFailed;
  }
  bool writes_report =
      options.mode == RunMode::kWriteReport || options.mode == RunMode::kDependencyCheck;
  if (writes_report && IsProtectedReportFile(options.report_file)) {
    ShowUsage(ui, argv[0]);
    ui.Print(msg::kProtectedReportFile, options.report_file.c_str());
    return ExitCode::kFailed;
  }

  RunContext run{ui, tool, options, {}, {}};
  ExitCode exit_code = RunModeGuarded(run);
  LogTimestamp(ui, msg::kUpgradeCompleted);
  PostRunHardwareFlagsCheck(run);
  if (platform::InterruptRequested()) ui.Write(msg::kRunInterrupted);
  ui.Write(msg::kExiting, static_cast<int>(exit_code));
  return exit_code;
}

int RunProgram(int argc, char** argv) {
  // Before any file is opened: no log may land on a closed standard descriptor.
  platform::GuardStandardStreams();
  platform::CatchInterrupts();
  // Whether -s was given decides already at start-up whether failures reach standard error.
  bool silent = ParseCommandLine(argc, argv).options.answers.silent;
  platform::InstanceLock instance;
  std::unique_ptr<UserInterface> ui;
  if (!InitializeProgram(&ui, &instance, silent ? nullptr : stderr)) return 0;
  ProcessFlashTool tool(*ui);
  return static_cast<int>(RunAfterStartUp(*ui, tool, argc, argv));
}
