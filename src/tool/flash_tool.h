// What the utility asks of the vendor flash tool. ProcessFlashTool runs the real program;
// tests put a fake behind the same interface.
#pragma once

#include <cstdint>
#include <string>

// The exit code reported when the tool could not be started or its capture file created.
constexpr uint32_t kToolNotStarted = 98;

// One run of the tool: the command line it was given, whether it was started and ended, and
// its exit code (kToolNotStarted when it was not started).
struct ToolResult {
  std::string command;
  bool ran = false;
  uint32_t exit_code = kToolNotStarted;

  bool Succeeded() const { return ran && exit_code == 0; }
};

class FlashTool {
 public:
  virtual ~FlashTool() = default;

  // Writes a discovery report of every port to report_file.
  virtual ToolResult Discover(const std::string& report_file) = 0;
  // Prints the port's hardware-flags setting into capture_file.
  virtual ToolResult QueryHardwareFlags(const std::string& device_id,
                                        const std::string& capture_file) = 0;
  // Disables the port's hardware flags.
  virtual ToolResult ResetHardwareFlags(const std::string& bdf) = 0;
  // Flashes the package firmware onto the port.
  virtual ToolResult Flash(const std::string& bdf) = 0;
  // Flashes the ports a discovery report lists.
  virtual ToolResult ApplyReport(const std::string& report_file) = 0;
};
