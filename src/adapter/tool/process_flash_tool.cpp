#include "adapter/tool/process_flash_tool.h"

#include <cstdio>

#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"

// Redraws the progress line on each second the tool runs.
struct ProgressTick {
  UserInterface* ui;
  std::string activity;
  void operator()(unsigned seconds) const { ui->ShowProgress(FormatProgress(activity, seconds)); }
};

namespace {

// The end of a capture: at most kOutputTail bytes, read before the file goes.
std::string ReadTail(const std::string& path) {
  std::string tail;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return tail;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    long from = size > static_cast<long>(kOutputTail) ? size - static_cast<long>(kOutputTail) : 0;
    if (size > 0 && std::fseek(file, from, SEEK_SET) == 0) {
      tail.resize(static_cast<size_t>(size - from));
      tail.resize(std::fread(&tail[0], 1, tail.size(), file));
    }
  }
  std::fclose(file);
  return tail;
}

// Where a call without a capture file of its own leaves its output for the record: the
// temporary directory, as the tool's lock file; "" where there is none.
std::string OutputCapturePath() {
  std::optional<std::string> temp = platform::TempDirectory();
  return temp ? *temp + kToolOutputFile : std::string();
}

// The capture file was not made, so nothing ran.
bool IsCaptureError(platform::RunStatus why) {
  return why == platform::RunStatus::CaptureFailed || why == platform::RunStatus::CaptureIsLink ||
         why == platform::RunStatus::CaptureIsProtected;
}

}  // namespace

ToolResult RunExternalCommand(UserInterface& ui, const std::string& command_line,
                              const std::string& output_file, const std::string& activity,
                              const platform::FileIds& protected_files,
                              const std::vector<std::string>* argv) {
  ui.Write(msg::kLine, command_line.c_str());
  platform::WaitTick tick;
  if (ui.ShowsProgress() && !activity.empty()) tick = ProgressTick{&ui, activity};
  // The tool never shares the utility's standard handles: what it prints goes to the caller's
  // capture or to a fresh one of its own, which no name planted before can lead elsewhere.
  std::string capture = output_file;
  platform::WriteMode mode = platform::WriteMode::kReplace;
  if (output_file.empty() && !(capture = OutputCapturePath()).empty()) {
    Ignore(platform::RemoveFile(capture), "usually there is none; a fresh one is made");
    mode = platform::WriteMode::kCreateNew;
  }
  const uint64_t began = platform::SteadyMilliseconds();
  Expected<uint32_t, platform::RunStatus> ran =
      platform::RunCommandLine(command_line, capture, tick, protected_files, argv, mode);
  bool fresh = capture != output_file;
  // Without a capture of its own the call runs as it always did, its output thrown away, and
  // whatever holds the capture's name is left alone.
  if (!ran && fresh && IsCaptureError(ran.error().code)) {
    fresh = false;
    ran = platform::RunCommandLine(command_line, "", tick, protected_files, argv);
  }
  const uint64_t took = platform::SteadyMilliseconds() - began;
  ui.EndProgress();
  std::string tail;
  if (fresh) {
    if (ran && *ran != 0) tail = ReadTail(capture);
    Ignore(platform::RemoveFile(capture), "the next call makes a fresh one");
  }
  if (ran) return ToolRun{command_line, *ran, took, std::move(tail)};
  const platform::RunStatus why = ran.error().code;
  if (why == platform::RunStatus::CaptureIsLink) {
    ui.Write(msg::kRefusedLink, output_file.c_str());
  } else if (why == platform::RunStatus::CaptureIsProtected) {
    ui.Write(msg::kRefusedProtectedFile, output_file.c_str());
  }
  if (IsCaptureError(why)) ui.Write(msg::kCaptureFileFailed);
  return MakeError(ToolFailure::kNotStarted, command_line);
}

ToolResult ProcessFlashTool::Run(const ToolCommand& command) {
  const std::vector<std::string> argv = ArgumentVector(command);
  return RunExternalCommand(ui_, CommandLine(command), command.capture_file, command.activity,
                            protected_files_, &argv);
}
