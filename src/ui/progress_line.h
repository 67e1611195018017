// A one-line progress display for a running tool call, e.g. "  flashing 4:0.0 ... 01:42".
// It is redrawn in place with a carriage return and erased with blanks before any other
// output, so it never mixes with the lines of the run. The functions only build the bytes:
// the caller writes them to the console, and only when standard output is one.
#pragma once

#include <string>

struct ProgressLine {
  size_t shown = 0;  // characters now on the console line; 0 when nothing is shown
};

// "  <what> ... mm:ss"; the minutes go on past 99 rather than wrapping.
std::string FormatProgress(const std::string& what, unsigned elapsed_seconds);

// Replaces what the line shows with text, blanking whatever a longer earlier text left.
std::string DrawProgress(ProgressLine* line, const std::string& text);

// Clears the line and returns the cursor to its start; nothing when nothing is shown.
std::string EraseProgress(ProgressLine* line);
