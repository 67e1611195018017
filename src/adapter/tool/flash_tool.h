// What the utility asks of the vendor flash tool. ProcessFlashTool runs the real program;
// tests put a fake behind the same interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "adapter/tool/command_lines.h"
#include "base/expected.h"

// The exit code reported when the tool could not be started, its capture file created or its
// end read.
constexpr uint32_t kToolNotStarted = 98;
// How much of a failed call's output is kept: its last bytes.
constexpr size_t kOutputTail = 4096;

// One run of the tool that started and ended: the command line it was given and its exit
// code, whatever that says.
struct ToolRun {
  std::string command;
  uint32_t exit_code = 0;
  uint64_t duration_ms = 0;
  std::string output;  // the end of what it printed, where that was captured
};
// Why a call gave no run: the tool could not be started, its capture file created or its end
// read. The logs report it as exit code kToolNotStarted.
enum class ToolFailure { kNotStarted = 1 };
// A run, or the error of a tool that did not run: code kNotStarted, text the command line.
using ToolResult = Expected<ToolRun, ToolFailure>;

// The exit code of a call that failed, as its error's code: the tool's own, or kToolNotStarted.
struct ToolExitCode {
  uint32_t value = 0;
};

inline bool Succeeded(const ToolResult& result) {
  return result.ok() && result->exit_code == 0;
}
// The exit code the logs report: the tool's own, or kToolNotStarted.
inline uint32_t ExitCodeOf(const ToolResult& result) {
  return result ? result->exit_code : kToolNotStarted;
}
inline const std::string& CommandOf(const ToolResult& result) {
  return result ? result->command : result.error().text;
}
// The run, or for a tool that did not start its command line with kToolNotStarted.
inline ToolRun ToolRunOf(const ToolResult& result) {
  return result ? *result : ToolRun{CommandOf(result), ExitCodeOf(result), 0, std::string()};
}

class FlashTool {
 public:
  virtual ~FlashTool() = default;

  // Runs one call of the tool and waits for its end.
  virtual ToolResult Run(const ToolCommand& command) = 0;
};
