#include "tool/command_lines.h"

#include "platform/platform.h"
#include "platform/text.h"

std::string QuoteArgument(const std::string& arg, bool always) {
  if (!always && !arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  // Backslashes count only before a double quote: doubled there, plus one for the quote.
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

namespace {

// Adapter data reaches the tool as an unquoted command line would have passed it: without
// blanks and tabs at its ends.
std::string AdapterArgument(const std::string& value) {
  return platform::Trim(value, " \t");
}

std::string Tool(const char* arguments) {
  return std::string(kFlashToolName) + arguments;
}

}  // namespace

std::string DiscoveryCommand(const std::string& report_file) {
  return Tool(" -d ") + QuoteArgument(report_file);
}

std::string PrivateReportPath(const std::string& private_dir) {
  return private_dir + platform::PathSeparator() + kPrivateReportFile;
}

std::string ApplyReportCommand(const std::string& report_file) {
  return Tool(" -u ") + QuoteArgument(report_file);
}

std::string HardwareFlagsQueryCommand(const std::string& device_id) {
  return Tool(" -i ") + QuoteArgument(AdapterArgument(device_id), true) + " --info";
}

std::string HardwareFlagsResetCommand(const std::string& bdf) {
  return Tool(" -i ") + QuoteArgument(AdapterArgument(bdf)) + " --hwflags 0";
}

std::string FlashCommand(const std::string& bdf) {
  return Tool(" -i ") + QuoteArgument(AdapterArgument(bdf)) + " -f -a";
}
