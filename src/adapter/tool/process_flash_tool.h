// The flash tool as a child process: each request becomes its command line, which is logged
// and then run without a shell.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

#include "adapter/tool/flash_tool.h"
#include "ui/user_interface.h"

// Logs the command line, runs it and waits for its end, counting the time on the console's
// progress line under the name of the activity. An empty output_file captures into a
// temporary file, whose end a failed call keeps; a capture file that cannot be created, or
// that is one of the protected files, is logged and nothing is run. A POSIX host runs argv
// when given (the program first), and the command line's words otherwise.
ToolResult RunExternalCommand(UserInterface& ui, const std::string& command_line,
                              const std::string& output_file, const std::string& activity = "",
                              const platform::FileIds& protected_files = platform::FileIds(),
                              const std::vector<std::string>* argv = nullptr);

class ProcessFlashTool : public FlashTool {
 public:
  // No capture file is ever one of protected_files.
  explicit ProcessFlashTool(UserInterface& ui,
                            platform::FileIds protected_files = platform::FileIds())
      : ui_(ui), protected_files_(std::move(protected_files)) {}

  ToolResult Run(const ToolCommand& command) override;

 private:
  UserInterface& ui_;
  platform::FileIds protected_files_;
};
