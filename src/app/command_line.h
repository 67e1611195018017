// Turns the command line into RunFlags and ReportFileName, and writes the usage text.
#pragma once

// True when every argument was understood. Rewrites a leading '/' of each argument to '-'
// in the vector itself, so the log echo shows option words with '-'.
bool ParseCommandLine(int argc, char** argv);

// True when the options set in RunFlags may be given together. Writes nothing.
bool CheckOptionCompatibility();

// Writes the usage text with the program's base name; may shorten program_path in place.
void ShowUsage(char* program_path);
