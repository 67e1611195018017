#include "platform/posix/command_line_split.h"

namespace platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program name: up to the first blank, or between double quotes; backslashes are plain.
size_t ReadProgramName(const std::string& line, std::string* out) {
  size_t i = 0;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      out->push_back(c);
    }
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitWindowsCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::string program;
  size_t i = ReadProgramName(line, &program);
  args.push_back(program);

  while (true) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < line.size() && line[i] == '"') {
        // 2n backslashes and a quote: n backslashes and a quote that toggles quoting;
        // 2n+1: n backslashes and a literal quote.
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          arg.push_back('"');
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg.push_back('"');  // "" inside quotes is a literal quote
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, '\\');
        if (i < line.size() && (quoted || !IsBlank(line[i]))) arg.push_back(line[i++]);
      }
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace platform
