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
  ui.Write(msg::kLine, command_line.c_str());
  platform::WaitTick tick;
  if (ui.ShowsProgress() && !activity.empty()) tick = ProgressTick{&ui, activity};
  Expected<uint32_t> ran =
      platform::RunCommandLine(command_line, output_file, tick, protected_files);
  ui.EndProgress();
  if (ran) return ToolRun{command_line, *ran};
  const Error& why = ran.error();
  if (why.Is(platform::RunStatus::CaptureIsLink)) {
    ui.Write(msg::kRefusedLink, output_file.c_str());
  } else if (why.Is(platform::RunStatus::CaptureIsProtected)) {
    ui.Write(msg::kRefusedProtectedFile, output_file.c_str());
  }
  const bool capture_failed = why.Is(platform::RunStatus::CaptureFailed) ||
                              why.Is(platform::RunStatus::CaptureIsLink) ||
                              why.Is(platform::RunStatus::CaptureIsProtected);
  if (capture_failed) ui.Write(msg::kCaptureFileFailed);
  return MakeError(kToolNotStarted, command_line);
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
