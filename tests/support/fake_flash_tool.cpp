#include "support/fake_flash_tool.h"

#include <algorithm>

#include "support/files.h"
#include "tool/command_lines.h"

namespace test {

ToolResult FakeFlashTool::Ran(const std::string& command, uint32_t exit_code) {
  calls.push_back(command);
  return ToolRun{command, exit_code, 0, exit_code ? "output of " + command : std::string()};
}

ToolResult FakeFlashTool::Discover(const std::string& report_file) {
  if (std::find(missing_reports.begin(), missing_reports.end(), report_file) ==
      missing_reports.end())
    WriteBytes(report_file, report);
  return Ran(DiscoveryCommand(report_file), discover_exit);
}

ToolResult FakeFlashTool::QueryHardwareFlags(const std::string& device_id,
                                             const std::string& capture_file) {
  WriteBytes(capture_file, info);
  return Ran(HardwareFlagsQueryCommand(device_id), info_exit);
}

ToolResult FakeFlashTool::ResetHardwareFlags(const std::string& bdf) {
  return Ran(HardwareFlagsResetCommand(bdf), reset_exit);
}

ToolResult FakeFlashTool::Flash(const std::string& bdf) {
  auto found = flash_exit.find(bdf);
  return Ran(FlashCommand(bdf), found == flash_exit.end() ? 0 : found->second);
}

ToolResult FakeFlashTool::ApplyReport(const std::string& report_file) {
  return Ran(ApplyReportCommand(report_file), apply_exit);
}

}  // namespace test
