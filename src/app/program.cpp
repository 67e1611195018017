#include "app/program.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adapter/env/instance_lock.h"
#include "adapter/inventory/catalog.h"
#include "adapter/inventory/hardware_flags.h"
#include "adapter/tool/command_lines.h"
#include "adapter/tool/process_flash_tool.h"
#include "app/command_line.h"
#include "app/run_modes.h"
#include "messages/messages.h"
#include "platform/platform.h"

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
  run.record.Conclude(Outcome::kUnexpectedError, "exception", msg::kUnexpectedError);
  return ExitCode::kFailed;
}

Expected<void, ExitCode> CheckSupportingFile(UserInterface& ui, RunRecord& record) {
  if (!platform::FileExists(kSupportingFileName)) {
    ui.Print(msg::kSupportingFileMissing, kSupportingFileName);
    record.Conclude(Outcome::kCatalogMissing, "",
                    FormatText(msg::kSupportingFileMissing, kSupportingFileName));
    return MakeError(ExitCode::kFailed);
  }
  InstanceVerdict verdict = VerifyInstance(ui, platform::RunningProcessNames);
  if (!verdict) {
    bool running = std::string(verdict.reason) == "tool-running";
    record.Conclude(Outcome::kAnotherRun, verdict.reason,
                    running ? msg::kToolAlreadyRunning : msg::kLockNotCleared);
    return MakeError(ExitCode::kFailed);
  }
  return {};
}

// Where the record and the checks after the run lists a port: the first listing of its bus
// address and device ID.
PortRecord* FindPort(RunRecord& record, const AdapterRecord& port) {
  for (PortRecord& listed : record.ports) {
    if (listed.cause != "duplicate" && listed.bdf == port.bdf && listed.device_id == port.device_id)
      return &listed;
  }
  return nullptr;
}

void ShowBanner(UserInterface& ui) {
  const std::string dashes(77, '-');
  ui.Print(msg::kLine, dashes.c_str());
  ui.Print(msg::kBannerTitle, msg::kProgramTitle,
           platform::OwnFileVersion().value_or(msg::kNoFileVersion).c_str());
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
  // An own path the host does not tell guards no name of its own ("" is skipped below).
  std::string own = platform::OwnExecutablePath().value_or(std::string());
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
      log_path,
  };
  if (std::optional<std::string> lock_file = LockFilePath()) files.names.push_back(*lock_file);
  // A file that does not exist has no identity; its name still guards it.
  for (const std::string& name : files.names) {
    if (name.empty()) continue;
    platform::SystemResult<platform::FileId> id = platform::FileIdentity(name);
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
    platform::SystemResult<platform::FileId> id = platform::EntryIdentity(image);
    if (id) files.ids.push_back(*id);
  }
  if (lock) {
    platform::SystemResult<platform::FileId> id = lock->Identity();
    if (id) files.ids.push_back(*id);
  }
  // The run records are guarded by name only: their identity would refuse the record's own write.
  if (!log_path.empty()) {
    std::string record = RunRecordPath(log_path);
    files.names.push_back(record);
    files.names.push_back(record.substr(0, record.size() - std::string(kRunRecordFileName).size()) +
                          kOldRunRecordFileName);
  }
  return files;
}

bool IsProtectedReportFile(const std::string& name, const ProtectedFiles& files) {
  platform::SystemResult<platform::FileId> id = platform::FileIdentity(name);
  if (id && platform::Contains(files.ids, *id)) return true;
  // A dangling link names a file that has no identity yet: its target is judged by name.
  std::optional<std::string> target = platform::LinkTarget(name);
  for (const std::string& file : files.names) {
    if (file.empty()) continue;
    if (platform::SamePath(name, file)) return true;
    if (target && platform::SamePath(*target, file)) return true;
  }
  return false;
}

Expected<void, ExitCode> InitializeProgram(std::unique_ptr<UserInterface>* ui,
                                           platform::InstanceLock* instance, const Options& options,
                                           RunRecord* record) {
  RunRecord unused;
  RunRecord& told = record ? *record : unused;
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
    Expected<void, platform::InstanceLock::Failure> locked = TakeInstanceLock(instance, **ui);
    if (!locked) {
      if (locked.error().code == platform::InstanceLock::Failure::kHeldElsewhere) {
        told.Conclude(Outcome::kAnotherRun, "instance-lock", msg::kToolAlreadyRunning);
      } else {
        told.Conclude(Outcome::kLockUnavailable, "", msg::kInstanceLockUnavailable);
      }
      return MakeError(ExitCode::kFailed);
    }
    return CheckSupportingFile(**ui, told);
  } catch (...) {
    if (*ui) (*ui)->Print(msg::kInitializationError);
    told.Conclude(Outcome::kStartUpError, "exception", msg::kInitializationError);
    return MakeError(ExitCode::kFailed);
  }
}

void CheckHardwareFlags(RunContext& run) {
  VersionOnlyReportWriter writer(run);
  for (PortFlagsCheck& check :
       RunHardwareFlagsCheck(run.tool, &run.catalog, run.ui, writer.ForMode())) {
    PortRecord* port = FindPort(run.record, check.port);
    if (!port) continue;
    port->version_after = check.port.installed_version.Format();
    if (check.examined)
      port->hardware_flags = FlagsRecord{FindingWord(check.state), ActionWord(check.action)};
  }
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
                         const ProtectedFiles* protected_files, RunRecord* record) {
  const Options& options = parsed.options;
  RunRecord unused;
  RunRecord& told = record ? *record : unused;
  ui.EndStartUp();
  ShowBanner(ui);
  LogCommandLine(ui, parsed.echo);
  LogTimestamp(ui, msg::kUpgradeBegan);
  const std::string usage = UsageLine(parsed.echo.front());
  if (!parsed.accepted) {
    ShowUsage(ui, parsed.echo.front());
    told.Conclude(Outcome::kUsage, "", usage);
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
        told.Conclude(Outcome::kUsage, "device-or-stream-name",
                      FormatText(msg::kDeviceOrStreamReportFile, name));
      } else {
        ui.Print(msg::kProtectedReportFile, name);
        told.Conclude(Outcome::kUsage, "protected-report-file",
                      FormatText(msg::kProtectedReportFile, name));
      }
      return ExitCode::kFailed;
    }
  }

  RunContext run{ui, tool, options, {}, {}, guarded.ids, std::move(told)};
  ExitCode exit_code = RunModeGuarded(run);
  LogTimestamp(ui, msg::kUpgradeCompleted);
  PostRunHardwareFlagsCheck(run);
  told = std::move(run.record);
  if (platform::InterruptRequested()) ui.Write(msg::kRunInterrupted);
  ui.Write(msg::kExiting, static_cast<int>(exit_code));
  return exit_code;
}

void FileRunEvent(const RunRecord& record, EventSink sink) {
  RunEvent event = EventOf(record);
  // The host's log is a courtesy: a refused event changes nothing of the run.
  if (sink) sink(event.level, event.id, event.text);
}

void FinishRun(RunRecord& record, int exit_code, UserInterface* ui,
               const platform::FileIds& refused, EventSink sink) {
  record.exit_code = exit_code;
  record.end = platform::UtcTimeText();
  std::string path = RunRecordPath(ui ? ui->log_path() : PrepareLogFile());
  if (!AppendRunRecord(path, RunRecordLine(record), refused) && ui) {
    ui->Error(msg::kRunRecordNotWritten, path.c_str());
  }
  FileRunEvent(record, sink);
}

int RunProgram(int argc, char** argv) {
  // Before any file is opened: no log may land on a closed standard descriptor.
  platform::GuardStandardStreams();
  platform::CatchInterrupts();
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  RunRecord record = BeginRunRecord(std::vector<std::string>(argv + std::min(argc, 1), argv + argc),
                                    parsed.accepted ? ModeWord(parsed.options.mode) : "update");
  platform::InstanceLock instance;
  std::unique_ptr<UserInterface> ui;
  Expected<void, ExitCode> started = InitializeProgram(&ui, &instance, parsed.options, &record);
  if (!started) {
    const int exit_code = static_cast<int>(started.error().code);
    FinishRun(record, exit_code, ui.get(),
              CollectProtectedFiles(ui ? ui->log_path() : "", &instance).ids,
              platform::ReportRunEvent);
    return exit_code;
  }
  // Now that the lock is held, it is one of the files nothing may be written over.
  ProtectedFiles guarded = CollectProtectedFiles(ui->log_path(), &instance);
  ProcessFlashTool tool(*ui, guarded.ids);
  int exit_code = static_cast<int>(RunAfterStartUp(*ui, tool, parsed, &guarded, &record));
  FinishRun(record, exit_code, ui.get(), guarded.ids, platform::ReportRunEvent);
  return exit_code;
}
