// The fixed order of one run: start-up, command line, opening lines, one run mode,
// closing lines and the exit code.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "adapter/tool/flash_tool.h"
#include "adapter/update/exit_code.h"
#include "app/command_line.h"
#include "app/run_context.h"
#include "app/run_record.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

int RunProgram(int argc, char** argv);

// Sets the console up, prepares the log and creates the user interface with the command
// line's modes, takes the utility's own lock (held as long as instance lives), then checks the
// package and the single-instance rule. An error, whose code is the run's exit code (0), when
// the run must end; ui is made all the same, so that the lines of a refusal reach the log.
// Failures that end the run are also told on standard error, unless -s was given.
// record, when given, is told why a refused run ended.
Expected<void, ExitCode> InitializeProgram(std::unique_ptr<UserInterface>* ui,
                                           platform::InstanceLock* instance, const Options& options,
                                           RunRecord* record = nullptr);
// The files that no report name and no file the utility writes may be: the catalog, both
// flash tools (in the current directory and beside the utility), the utility, every firmware
// image the catalog names by a plain file name (the entry itself, a link not followed), the
// tool's lock file, the temporary files, the log (when given) and the utility's own lock
// (when given and held as a file). Those that exist are known by identity, so that no other
// name (a hard link, another spelling) reaches them; the names serve for the files that need
// not exist. Image names of any other form are files the package lacks, kept for a warning.
struct ProtectedFiles {
  platform::FileIds ids;
  std::vector<std::string> names;
  std::vector<std::string> foreign_images;
};
ProtectedFiles CollectProtectedFiles(const std::string& log_path,
                                     const platform::InstanceLock* lock);

// Everything after start-up: the opening lines with the command line's echo, the mode, the
// closing lines. ui was made with the line's modes. The tool is the real one in a run and a
// fake in tests; without protected_files they are collected here, without the utility's own
// lock.
// record, when given, receives what the run's record says.
ExitCode RunAfterStartUp(UserInterface& ui, FlashTool& tool, const ParsedCommandLine& parsed,
                         const ProtectedFiles* protected_files = nullptr,
                         RunRecord* record = nullptr);
// Closes the record with the exit code and the time, appends it beside the log (a failure is
// one line on standard error unless -s, and nothing else) and files the run's event.
void FinishRun(RunRecord& record, int exit_code, UserInterface* ui,
               const platform::FileIds& refused, EventSink sink);
// Files the record's event through the sink.
void FileRunEvent(const RunRecord& record, EventSink sink);

std::string PrepareLogFile();
// True when a -d or -v file name stands for one of the protected files.
bool IsProtectedReportFile(const std::string& name, const ProtectedFiles& files);
// The hardware-flags check after the run, with the run's catalog and -v report writer.
void CheckHardwareFlags(RunContext& run);
// Runs the check when the run found adapters and -n is off; nothing that escapes it changes
// the exit code.
void PostRunHardwareFlagsCheck(RunContext& run, void (*check)(RunContext&) = CheckHardwareFlags);
