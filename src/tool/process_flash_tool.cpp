#include "tool/process_flash_tool.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "tool/command_lines.h"

ToolResult RunExternalCommand(UserInterface& ui, const std::string& command_line,
                              const std::string& output_file) {
  ToolResult result;
  result.command = command_line;
  ui.Write(msg::kLine, command_line.c_str());
  uint32_t exit_code = 0;
  switch (platform::RunCommandLine(command_line, output_file, &exit_code)) {
    case platform::RunStatus::Ran:
      result.ran = true;
      result.exit_code = exit_code;
      break;
    case platform::RunStatus::CaptureIsLink:
      ui.Write(msg::kRefusedLink, output_file.c_str());
      ui.Write(msg::kCaptureFileFailed);
      break;
    case platform::RunStatus::CaptureFailed:
      ui.Write(msg::kCaptureFileFailed);
      break;
    case platform::RunStatus::StartFailed:
      break;
  }
  return result;
}

ToolResult ProcessFlashTool::Discover(const std::string& report_file) {
  return RunExternalCommand(ui_, DiscoveryCommand(report_file), "");
}

ToolResult ProcessFlashTool::QueryHardwareFlags(const std::string& device_id,
                                                const std::string& capture_file) {
  return RunExternalCommand(ui_, HardwareFlagsQueryCommand(device_id), capture_file);
}

ToolResult ProcessFlashTool::ResetHardwareFlags(const std::string& bdf) {
  return RunExternalCommand(ui_, HardwareFlagsResetCommand(bdf), "");
}

ToolResult ProcessFlashTool::Flash(const std::string& bdf) {
  return RunExternalCommand(ui_, FlashCommand(bdf), "");
}

ToolResult ProcessFlashTool::ApplyReport(const std::string& report_file) {
  return RunExternalCommand(ui_, ApplyReportCommand(report_file), "");
}
