#include "tool/command_lines.h"

#include <gtest/gtest.h>

namespace {

// Each plain command line is seen whole in the end-to-end tests' tool call logs.
TEST(FlashToolCommand, PathsWithBackslashesStayAsTheyAre) {
  EXPECT_EQ(DiscoveryCommand("C:\\reports\\nics.xml"), "nxflash.exe -d C:\\reports\\nics.xml");
}

TEST(FlashToolCommand, ArgumentsWithBlanksOrQuotesReachTheToolWhole) {
  EXPECT_EQ(DiscoveryCommand("my report.xml"), "nxflash.exe -d \"my report.xml\"");
  EXPECT_EQ(ApplyReportCommand("a\tb.xml"), "nxflash.exe -u \"a\tb.xml\"");
  EXPECT_EQ(HardwareFlagsQueryCommand("Local Area Connection 2"),
            "nxflash.exe -i \"Local Area Connection 2\" --info");
  EXPECT_EQ(HardwareFlagsQueryCommand("say \"hi\""), "nxflash.exe -i \"say \\\"hi\\\"\" --info");
  EXPECT_EQ(FlashCommand("4 :0.0"), "nxflash.exe -i \"4 :0.0\" -f -a");
  EXPECT_EQ(HardwareFlagsResetCommand("\"4:0.0"), "nxflash.exe -i \"\\\"4:0.0\" --hwflags 0");
}

TEST(FlashToolCommand, BackslashesBeforeAClosingQuoteAreDoubled) {
  // Otherwise the closing quote would be read as part of the argument.
  EXPECT_EQ(HardwareFlagsQueryCommand("NIC\\"), "nxflash.exe -i \"NIC\\\\\" --info");
  EXPECT_EQ(DiscoveryCommand("C:\\my dir\\"), "nxflash.exe -d \"C:\\my dir\\\\\"");
  EXPECT_EQ(QuoteArgument("a\\\\\"b"), "\"a\\\\\\\\\\\"b\"");
}

TEST(FlashToolCommand, EmptyArgumentsStayOneArgument) {
  EXPECT_EQ(QuoteArgument(""), "\"\"");
  EXPECT_EQ(HardwareFlagsQueryCommand(""), "nxflash.exe -i \"\" --info");
}

}  // namespace
