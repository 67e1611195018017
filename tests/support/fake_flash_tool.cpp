#include "support/fake_flash_tool.h"

#include <algorithm>

#include "adapter/tool/command_lines.h"
#include "support/files.h"

namespace test {

namespace {

const std::string& Word(const ToolCommand& command, size_t at) {
  static const std::string none;
  return at < command.arguments.size() ? command.arguments[at].text : none;
}

}  // namespace

ToolResult FakeFlashTool::Run(const ToolCommand& command) {
  const std::string line = CommandLine(command);
  calls.push_back(line);
  // The answers, by the words that tell the calls apart.
  const std::string& first = Word(command, 0);
  const std::string& third = Word(command, 2);
  uint32_t exit_code = 0;
  if (first == "-d") {
    const std::string& file = Word(command, 1);
    if (std::find(missing_reports.begin(), missing_reports.end(), file) == missing_reports.end())
      WriteBytes(file, report);
    exit_code = discover_exit;
  } else if (first == "-u") {
    exit_code = apply_exit;
  } else if (third == "--info") {
    WriteBytes(command.capture_file, info);
    exit_code = info_exit;
  } else if (third == "--hwflags") {
    exit_code = reset_exit;
  } else if (third == "-f") {
    auto found = flash_exit.find(Word(command, 1));
    exit_code = found == flash_exit.end() ? 0 : found->second;
  }
  return ToolRun{line, exit_code, 0, exit_code ? "output of " + line : std::string()};
}

}  // namespace test
