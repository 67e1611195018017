#include "ui/progress_line.h"

#include <cstdio>

std::string FormatProgress(const std::string& what, unsigned elapsed_seconds) {
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02u:%02u", elapsed_seconds / 60, elapsed_seconds % 60);
  return "  " + what + " ... " + clock;
}

std::string DrawProgress(ProgressLine* line, const std::string& text) {
  std::string bytes = "\r" + text;
  if (line->shown > text.size()) bytes.append(line->shown - text.size(), ' ');
  line->shown = text.size();
  return bytes;
}

std::string EraseProgress(ProgressLine* line) {
  if (line->shown == 0) return "";
  std::string bytes = "\r" + std::string(line->shown, ' ') + "\r";
  line->shown = 0;
  return bytes;
}
