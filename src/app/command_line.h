// Turns the command line into Options, and writes the usage text.
#pragma once

#include <string>
#include <vector>

#include "app/options.h"
#include "ui/user_interface.h"

struct ParsedCommandLine {
  // What was understood; when the line is rejected, the options read before the fault.
  Options options;
  bool accepted = false;
  // The line as the log echoes it, the program's path first: each option word read, up to
  // and including the first not understood, shows a leading '/' as '-'; file names and the
  // words after that one stay as given.
  std::vector<std::string> echo;
};

// Accepts a line when every argument was understood and the options may be given together.
// Leaves argv as it is.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// Writes the usage text with the program's base name.
void ShowUsage(UserInterface& ui, const std::string& program_path);
// The usage text's first line, as the run record tells it.
std::string UsageLine(const std::string& program_path);
