#include "app/program.h"

#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/run_modes.h"
#include "env/instance_lock.h"
#include "inventory/catalog.h"
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

Expected<void> CheckSupportingFile(UserInterface& ui) {
  if (!platform::FileExists(kSupportingFileName)) {
    ui.Print(msg::kSupportingFileMissing, kSupportingFileName);
    return MakeError(ExitCode::kFailed);
  }
  if (!VerifyInstance(ui, platform::RunningProcessNames)) return MakeError(ExitCode::kFailed);
  return {};
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

void LogCommandLine(UserInterface& ui, const std::vector<std::string>& words) {
  ui.Write(msg::kCommandLineSupplied);
  for (const std::string& word : words) ui.Write(msg::kCommandLineWord, word.c_str());
  ui.Write(msg::kNewLine);
}

}  // namespace

std::string PrepareLogFile() {
  char sep = platform::PathSeparator();
  std::string drive = platform::SystemDrive();
  std::string dir = drive + sep + "tlvsystem";
  // A log directory that cannot be made leaves the log unopenable, which its first line tells.
  const char* reason = "usually there already; otherwise the log's first line tells";
  Ignore(platform::MakeDirectory(dir), reason);
  dir += sep;
  dir += "log";
  Ignore(platform::MakeDirectory(dir), reason);
  // The file itself is left to the first log line, which never opens it through a link.
  return dir + sep + "nxflash.log";
}

ProtectedFiles CollectProtectedFiles(const std::string& log_path,
                                     const platform::InstanceLock* lock) {
  std::string own = platform::OwnExecutablePath();
  std::string own_dir = own.substr(0, own.find_last_of("/\\") + 1);
  ProtectedFiles files;
  files.names = {
      kSupportingFileName,
      kDiscoveryReportFile,
      kHardwareFlagsCaptureFile,
      kFlashToolName,
      kFlashToolX86Name,
      own_dir + kFlashToolName,
      own_dir + kFlashToolX86Name,
      own,
      LockFilePath(),
      log_path,
  };
  // A file that does not exist has no identity; its name still guards it.
  for (const std::string& name : files.names) {
    if (name.empty()) continue;
    Expected<platform::FileId> id = platform::FileIdentity(name);
    if (id) files.ids.push_back(*id);
  }
  // The catalog is data: a name of it that could reach past the package directory (another
  // folder, a drive, a device, a pipe, another host) is never opened, nor is a link followed.
  for (const std::string& image : CatalogImageFiles()) {
    if (image.empty()) continue;
    if (!platform::IsPlainFileName(image)) {
      files.foreign_images.push_back(image);
      continue;
    }
    files.names.push_back(image);
    Expected<platform::FileId> id = platform::EntryIdentity(image);
    if (id) files.ids.push_back(*id);
  }
  if (lock) {
    Expected<platform::FileId> id = lock->Identity();
    if (id) files.ids.push_back(*id);
  }
  return files;
}

bool IsProtectedReportFile(const std::string& name, const ProtectedFiles& files) {
  Expected<platform::FileId> id = platform::FileIdentity(name);
  if (id && platform::Contains(files.ids, *id)) return true;
  // A dangling link names a file that has no identity yet: its target is judged by name.
  std::string target = platform::LinkTarget(name);
  for (const std::string& file : files.names) {
    if (file.empty()) continue;
    if (platform::SamePath(name, file)) return true;
    if (!target.empty() && platform::SamePath(target, file)) return true;
  }
  return false;
}

Expected<void> InitializeProgram(std::unique_ptr<UserInterface>* ui,
                                 platform::InstanceLock* instance, const Options& options) {
  try {
    platform::SetConsoleWindowTitle(msg::kProgramTitle);
    UiSettings settings;
    settings.log_path = PrepareLogFile();
    settings.columns = kConsoleColumns;
    settings.rows = kConsoleRows;
    settings.answers = options.answers;
    settings.debug = options.debug;
    // Whether -s was given decides already at start-up whether failures reach standard error.
    settings.errors = options.answers.silent ? nullptr : stderr;
    // Before the first line: the log is never one of the package's files under another name.
    settings.protected_files = CollectProtectedFiles("", nullptr).ids;
    settings.progress = platform::StdoutIsConsole();
    *ui = std::make_unique<UserInterface>(std::move(settings));
    if (!TakeInstanceLock(instance, **ui)) return MakeError(ExitCode::kFailed);
    return CheckSupportingFile(**ui);
  } catch (...) {
    if (*ui) (*ui)->Print(msg::kInitializationError);
    return MakeError(ExitCode::kFailed);
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

ExitCode RunAfterStartUp(UserInterface& ui, FlashTool& tool, const ParsedCommandLine& parsed,
                         const ProtectedFiles* protected_files) {
  const Options& options = parsed.options;
  ui.EndStartUp();
  ShowBanner(ui);
  LogCommandLine(ui, parsed.echo);
  LogTimestamp(ui, msg::kUpgradeBegan);
  if (!parsed.accepted) {
    ShowUsage(ui, parsed.echo.front());
    return ExitCode::kFailed;
  }
  const ProtectedFiles guarded =
      protected_files ? *protected_files : CollectProtectedFiles(ui.log_path(), nullptr);
  for (const std::string& image : guarded.foreign_images)
    ui.Write(msg::kCatalogImageNotPlain, image.c_str());
  bool writes_report =
      options.mode == RunMode::kWriteReport || options.mode == RunMode::kDependencyCheck;
  if (writes_report) {
    const char* name = options.report_file.c_str();
    bool form = platform::RefusesPathForm(options.report_file);
    if (form || IsProtectedReportFile(options.report_file, guarded)) {
      ShowUsage(ui, parsed.echo.front());
      if (form) {
        ui.Print(msg::kDeviceOrStreamReportFile, name);
      } else {
        ui.Print(msg::kProtectedReportFile, name);
      }
      return ExitCode::kFailed;
    }
  }

  RunContext run{ui, tool, options, {}, {}, guarded.ids};
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
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  platform::InstanceLock instance;
  std::unique_ptr<UserInterface> ui;
  Expected<void> started = InitializeProgram(&ui, &instance, parsed.options);
  if (!started) return started.error().code;
  // Now that the lock is held, it is one of the files nothing may be written over.
  ProtectedFiles guarded = CollectProtectedFiles(ui->log_path(), &instance);
  ProcessFlashTool tool(*ui, guarded.ids);
  return static_cast<int>(RunAfterStartUp(*ui, tool, parsed, &guarded));
}
