// Turns the command line into Options, and writes the usage text.
#pragma once

#include "app/options.h"
#include "ui/user_interface.h"

struct ParsedCommandLine {
  // What was understood; when the line is rejected, the options read before the fault.
  Options options;
  bool accepted = false;
};

// Accepts a line when every argument was understood and the options may be given together.
// Rewrites a leading '/' of each argument to '-' in the vector itself, so the log echo shows
// option words with '-'.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// Writes the usage text with the program's base name; may shorten program_path in place.
void ShowUsage(UserInterface& ui, char* program_path);
