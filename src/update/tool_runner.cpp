#include "update/tool_runner.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

bool RunExternalCommand(const std::string& command_line, const std::string& output_file,
                        uint32_t* exit_code) {
  UI().Write("%s\n", command_line.c_str());
  switch (platform::RunCommandLine(command_line, output_file, exit_code)) {
    case platform::RunStatus::Ran:
      return true;
    case platform::RunStatus::CaptureFailed:
      UI().Write("Failed to create file\n");
      break;
    case platform::RunStatus::StartFailed:
      break;
  }
  *exit_code = kToolNotStarted;
  return false;
}

void WriteOnce(OneTimeNotice* notice, UserInterface& ui, const char* format, ...) {
  if (notice->shown) return;
  notice->shown = true;

  // The usual text fits 256 characters; a longer one is formatted again whole rather than
  // cut short.
  std::vector<char> text(256);
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(text.data(), text.size(), format, args);
  if (length >= static_cast<int>(text.size())) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
  }
  va_end(again);
  va_end(args);
  if (length < 0) return;

  switch (notice->channel) {
    case 0:
      ui.Display("%s", text.data());
      break;
    case 2:
      ui.Print("%s", text.data());
      break;
    default:
      ui.Write("%s", text.data());
      break;
  }
}
