// POSIX hosts split command lines themselves, by the rules a Windows child would apply.
#include "platform/posix/command_line_split.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLineSplit, FollowsTheWindowsRules) {
  using platform::SplitWindowsCommandLine;
  EXPECT_EQ(SplitWindowsCommandLine("nxflash.exe -i 4:0.0 -f -a"),
            (Args{"nxflash.exe", "-i", "4:0.0", "-f", "-a"}));
  EXPECT_EQ(SplitWindowsCommandLine("nxflash.exe -i \"NIC 1\" --info"),
            (Args{"nxflash.exe", "-i", "NIC 1", "--info"}));
  EXPECT_EQ(SplitWindowsCommandLine("nxflash.exe  a\\b \"c\\\"d\" e\\\\\"f g\""),
            (Args{"nxflash.exe", "a\\b", "c\"d", "e\\f g"}));
  EXPECT_EQ(SplitWindowsCommandLine("\"C:\\my tools\\nxflash.exe\" -d x"),
            (Args{"C:\\my tools\\nxflash.exe", "-d", "x"}));
  EXPECT_EQ(SplitWindowsCommandLine("nxflash.exe \"\""), (Args{"nxflash.exe", ""}));
}

}  // namespace
