#include "tool/process_flash_tool.h"

#include "messages/messages.h"
#include "platform/platform.h"
#include "tool/command_lines.h"

// Redraws the progress line on each second the tool runs.
struct ProgressTick {
  UserInterface* ui;
  std::string activity;
  void operator()(unsigned seconds) const { ui->ShowProgress(FormatProgress(activity, seconds)); }
};

ToolResult RunExternalCommand(UserInterface& ui, const std::string& command_line,
                              const std::string& output_file, const std::string& activity,
                              const platform::FileIds& protected_files) {
  ToolResult result;
  result.command = command_line;
  ui.Write(msg::kLine, command_line.c_str());
  uint32_t exit_code = 0;
  platform::WaitTick tick;
  if (ui.ShowsProgress() && !activity.empty()) tick = ProgressTick{&ui, activity};
  platform::RunStatus status =
      platform::RunCommandLine(command_line, output_file, &exit_code, tick, protected_files);
  ui.EndProgress();
  switch (status) {
    case platform::RunStatus::Ran:
      result.ran = true;
      result.exit_code = exit_code;
      break;
    case platform::RunStatus::CaptureIsLink:
      ui.Write(msg::kRefusedLink, output_file.c_str());
      ui.Write(msg::kCaptureFileFailed);
      break;
    case platform::RunStatus::CaptureIsProtected:
      ui.Write(msg::kRefusedProtectedFile, output_file.c_str());
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
  return RunExternalCommand(ui_, DiscoveryCommand(report_file), "", msg::kProgressDiscovering);
}

ToolResult ProcessFlashTool::QueryHardwareFlags(const std::string& device_id,
                                                const std::string& capture_file) {
  return RunExternalCommand(ui_, HardwareFlagsQueryCommand(device_id), capture_file,
                            FormatText(msg::kProgressQuerying, device_id.c_str()),
                            protected_files_);
}

ToolResult ProcessFlashTool::ResetHardwareFlags(const std::string& bdf) {
  return RunExternalCommand(ui_, HardwareFlagsResetCommand(bdf), "",
                            FormatText(msg::kProgressResetting, bdf.c_str()));
}

ToolResult ProcessFlashTool::Flash(const std::string& bdf) {
  return RunExternalCommand(ui_, FlashCommand(bdf), "",
                            FormatText(msg::kProgressFlashing, bdf.c_str()));
}

ToolResult ProcessFlashTool::ApplyReport(const std::string& report_file) {
  return RunExternalCommand(ui_, ApplyReportCommand(report_file), "",
                            FormatText(msg::kProgressApplying, report_file.c_str()));
}
