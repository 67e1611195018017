// The fixed order of one run: start-up, command line, opening lines, one run mode,
// closing lines and the exit code.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "app/exit_code.h"
#include "app/run_context.h"
#include "platform/platform.h"
#include "tool/flash_tool.h"
#include "ui/user_interface.h"

int RunProgram(int argc, char** argv);

// Sets the console up, opens the log and creates the user interface, takes the utility's own
// lock (held as long as instance lives), then checks the package and the single-instance rule.
// False when the run must end with exit code 0. Failures that end the run are also told on
// errors, when given.
bool InitializeProgram(std::unique_ptr<UserInterface>* ui, platform::InstanceLock* instance,
                       std::FILE* errors);
// Everything after start-up: the command line, the opening lines, the mode, the closing
// lines. The tool is the real one in a run and a fake in tests.
ExitCode RunAfterStartUp(UserInterface& ui, FlashTool& tool, int argc, char** argv);

std::string PrepareLogFile();
// True when a -d or -v file name stands for a file of the package or of the run itself: the
// catalog, a flash tool, the utility, the lock file or a temporary file.
bool IsProtectedReportFile(const std::string& name);
// The hardware-flags check after the run, with the run's catalog and -v report writer.
void CheckHardwareFlags(RunContext& run);
// Runs the check when the run found adapters and -n is off; nothing that escapes it changes
// the exit code.
void PostRunHardwareFlagsCheck(RunContext& run, void (*check)(RunContext&) = CheckHardwareFlags);
