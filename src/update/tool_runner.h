// Runs the vendor flash tool as a child process, logging its command line first.
#pragma once

#include <cstdint>
#include <string>

#include "ui/user_interface.h"

// The exit code reported when the tool could not be started or its capture file created.
constexpr uint32_t kToolNotStarted = 98;

// True when the process was started and has ended (exit_code is its exit code); false when
// the output file or the process could not be created (exit_code is 98). An empty
// output_file captures nothing.
bool RunExternalCommand(const std::string& command_line, const std::string& output_file,
                        uint32_t* exit_code);

// A message shown at most once per run. channel: 0 console, 2 console and log, else log.
struct OneTimeNotice {
  bool shown = false;
  int channel = 2;
};
void WriteOnce(OneTimeNotice* notice, UserInterface& ui, const char* format, ...) QV_PRINTF(3, 4);
