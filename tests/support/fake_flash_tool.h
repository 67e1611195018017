// A flash tool without processes: it answers each call from what the test set up and
// records the command line the real tool would have been given.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adapter/tool/flash_tool.h"

namespace test {

class FakeFlashTool : public FlashTool {
 public:
  // Discover writes this text into the report file, unless the file is listed as missing.
  std::string report;
  std::vector<std::string> missing_reports;
  uint32_t discover_exit = 0;
  // --info prints this into the capture file.
  std::string info = "Hardware Flags (iPE/dPE) ....... set to 2\n";
  uint32_t info_exit = 0;
  uint32_t reset_exit = 0;
  uint32_t apply_exit = 0;
  std::map<std::string, uint32_t> flash_exit;  // by bus:device.function; 0 when absent

  std::vector<std::string> calls;  // the command lines, in order

  // Answers by the command's words, from the table in the source; a failed call's output
  // is "output of " and its command line.
  ToolResult Run(const ToolCommand& command) override;
};

}  // namespace test
