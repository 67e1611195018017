// Quoting by the Windows command-line rules and splitting by them, together. Properties: an
// argument quoted into a tool command line splits back out as itself and as one argument,
// and any line split, requoted and split again gives the same arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter/tool/command_lines.h"
#include "platform/posix/command_line_split.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // Arguments come from C strings (attribute values, file names): no NUL inside.
  std::string arg = input.substr(0, input.find('\0'));
  for (bool always : {false, true}) {
    std::string line = std::string(kFlashToolName) + " -i " + QuoteArgument(arg, always);
    std::vector<std::string> args = platform::SplitWindowsCommandLine(line);
    Check(args.size() == 3 && args[0] == kFlashToolName && args[1] == "-i" && args[2] == arg);
  }

  std::vector<std::string> split = platform::SplitWindowsCommandLine(input);
  Check(!split.empty());
  std::string requoted = kFlashToolName;
  for (size_t i = 1; i < split.size(); ++i) requoted += " " + QuoteArgument(split[i]);
  std::vector<std::string> again = platform::SplitWindowsCommandLine(requoted);
  Check(again.size() == split.size());
  for (size_t i = 1; i < split.size(); ++i) Check(again[i] == split[i]);
  return 0;
}
