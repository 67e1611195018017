// Splits a command line into arguments by the rules Windows programs use, so that one
// command line means the same program and arguments on every host.
#pragma once

#include <string>
#include <vector>

namespace platform {

std::vector<std::string> SplitWindowsCommandLine(const std::string& line);

}  // namespace platform
