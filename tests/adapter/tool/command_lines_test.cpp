#include "adapter/tool/command_lines.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include "platform/posix/command_line_split.h"
#endif

namespace {

// Each plain command line is seen whole in the end-to-end tests' tool call logs.
TEST(FlashToolCommand, PathsWithBackslashesStayAsTheyAre) {
  EXPECT_EQ(CommandLine(DiscoveryCommand("C:\\reports\\nics.xml")),
            "nxflash.exe -d C:\\reports\\nics.xml");
}

TEST(FlashToolCommand, ArgumentsWithBlanksOrQuotesReachTheToolWhole) {
  EXPECT_EQ(CommandLine(DiscoveryCommand("my report.xml")), "nxflash.exe -d \"my report.xml\"");
  EXPECT_EQ(CommandLine(ApplyReportCommand("a\tb.xml")), "nxflash.exe -u \"a\tb.xml\"");
  EXPECT_EQ(CommandLine(HardwareFlagsQueryCommand("Local Area Connection 2")),
            "nxflash.exe -i \"Local Area Connection 2\" --info");
  EXPECT_EQ(CommandLine(HardwareFlagsQueryCommand("say \"hi\"")),
            "nxflash.exe -i \"say \\\"hi\\\"\" --info");
  EXPECT_EQ(CommandLine(FlashCommand("4 :0.0")), "nxflash.exe -i \"4 :0.0\" -f -a");
  EXPECT_EQ(CommandLine(HardwareFlagsResetCommand("\"4:0.0")),
            "nxflash.exe -i \"\\\"4:0.0\" --hwflags 0");
}

TEST(FlashToolCommand, BackslashesBeforeAClosingQuoteAreDoubled) {
  // Otherwise the closing quote would be read as part of the argument.
  EXPECT_EQ(CommandLine(HardwareFlagsQueryCommand("NIC\\")), "nxflash.exe -i \"NIC\\\\\" --info");
  EXPECT_EQ(CommandLine(DiscoveryCommand("C:\\my dir\\")), "nxflash.exe -d \"C:\\my dir\\\\\"");
  EXPECT_EQ(QuoteArgument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
}

#if !defined(_WIN32)
// Windows reads the command line back into the words a POSIX host is given directly.
TEST(FlashToolCommand, TheCommandLineSplitsIntoTheArgumentVector) {
  for (const char* value :
       {"", "4:0.0", "4 :0.0", "a\tb", "say \"hi\"", "NIC\\", "C:\\my dir\\", "\"4:0.0"}) {
    for (const ToolCommand& command :
         {DiscoveryCommand(value), ApplyReportCommand(value), HardwareFlagsQueryCommand(value),
          HardwareFlagsResetCommand(value), FlashCommand(value)}) {
      EXPECT_EQ(platform::SplitWindowsCommandLine(CommandLine(command)), ArgumentVector(command))
          << CommandLine(command);
    }
  }
}
#endif

TEST(FlashToolCommand, EmptyArgumentsStayOneArgument) {
  EXPECT_EQ(QuoteArgument(""), "\"\"");
  EXPECT_EQ(CommandLine(HardwareFlagsQueryCommand("")), "nxflash.exe -i \"\" --info");
}

}  // namespace
