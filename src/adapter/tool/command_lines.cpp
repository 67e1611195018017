#include "adapter/tool/command_lines.h"

#include <utility>

#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "ui/user_interface.h"

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

ToolCommand Command(std::vector<ToolArgument> arguments, std::string activity,
                    std::string capture_file = std::string()) {
  return ToolCommand{std::move(arguments), std::move(capture_file), std::move(activity)};
}

}  // namespace

std::string CommandLine(const ToolCommand& command) {
  std::string line = kFlashToolName;
  for (const ToolArgument& arg : command.arguments)
    line += ' ' + QuoteArgument(arg.text, arg.always_quoted);
  return line;
}

std::string PrivateReportPath(const std::string& private_dir) {
  return private_dir + platform::PathSeparator() + kPrivateReportFile;
}

std::vector<std::string> ArgumentVector(const ToolCommand& command) {
  std::vector<std::string> words{kFlashToolName};
  for (const ToolArgument& arg : command.arguments) words.push_back(arg.text);
  return words;
}

ToolCommand DiscoveryCommand(const std::string& report_file) {
  return Command({{"-d"}, {report_file}}, msg::kProgressDiscovering);
}

ToolCommand ApplyReportCommand(const std::string& report_file) {
  return Command({{"-u"}, {report_file}}, FormatText(msg::kProgressApplying, report_file.c_str()));
}

ToolCommand HardwareFlagsQueryCommand(const std::string& device_id,
                                      const std::string& capture_file) {
  return Command({{"-i"}, {AdapterArgument(device_id), true}, {"--info"}},
                 FormatText(msg::kProgressQuerying, device_id.c_str()), capture_file);
}

ToolCommand HardwareFlagsResetCommand(const std::string& bdf) {
  return Command({{"-i"}, {AdapterArgument(bdf)}, {"--hwflags"}, {"0"}},
                 FormatText(msg::kProgressResetting, bdf.c_str()));
}

ToolCommand FlashCommand(const std::string& bdf) {
  return Command({{"-i"}, {AdapterArgument(bdf)}, {"-f"}, {"-a"}},
                 FormatText(msg::kProgressFlashing, bdf.c_str()));
}
