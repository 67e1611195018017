#include "adapter/tool/process_flash_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "support/files.h"
#include "support/ui_capture.h"

namespace {

// Found beside the test binary, as the flash tool is found beside the utility.
const std::string kChild = "runner-child.exe";

class ToolRunnerTest : public ::testing::Test {
 protected:
  test::CapturedUi capture_;
  test::TempDir dir_;
};

TEST_F(ToolRunnerTest, MissingToolGives98AndLogsTheCommandLine) {
  std::string capture = dir_.File("out.txt");
  test::WriteBytes(capture, "old");
  ToolResult result =
      RunExternalCommand(capture_.ui(), "no-such-tool.exe -d tempNicList.xml", capture);
  EXPECT_FALSE(result);
  EXPECT_EQ(ExitCodeOf(result), 98u);
  EXPECT_EQ(CommandOf(result), "no-such-tool.exe -d tempNicList.xml");
  EXPECT_EQ(test::ReadText(capture), "");  // emptied all the same
  EXPECT_EQ(capture_.Log(), "no-such-tool.exe -d tempNicList.xml\n");
  EXPECT_EQ(capture_.Console(), "");
}

// Exit codes passed on are seen end to end: discovery and flash failures name their codes.
TEST_F(ToolRunnerTest, CaptureFileIsEmptiedAndHoldsOutputAndErrors) {
  std::string capture = dir_.File("hwflagStatus.dat");
  test::WriteBytes(capture, "left over from an earlier run\n");
  ToolResult result =
      RunExternalCommand(capture_.ui(), kChild + " out:first err:second out:third exit:3", capture);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->exit_code, 3u);
  EXPECT_FALSE(Succeeded(result));
  EXPECT_EQ(test::ReadText(capture), "first\nsecond\nthird\n");

  // A silent run still empties the file.
  EXPECT_TRUE(Succeeded(RunExternalCommand(capture_.ui(), kChild, capture)));
  EXPECT_TRUE(test::Exists(capture));
  EXPECT_EQ(test::ReadText(capture), "");
}

TEST_F(ToolRunnerTest, UncreatableCaptureFileGives98WithoutRunning) {
  std::string capture = dir_.File("missing-dir") + platform::PathSeparator() + "out.txt";
  ToolResult result = RunExternalCommand(capture_.ui(), kChild + " exit:5", capture);
  EXPECT_FALSE(result);
  EXPECT_EQ(ExitCodeOf(result), 98u);
  EXPECT_EQ(capture_.Log(), kChild + " exit:5\nFailed to create file\n");
}

// A call without a capture file of its own keeps the end of what a failed run printed and
// leaves no capture behind; a file planted under the capture's name is never written through.
TEST_F(ToolRunnerTest, AFailedCallKeepsTheEndOfItsOutputOnly) {
  const std::string kept = dir_.File("kept.txt");
  const std::string planted = platform::TempDirectory().value() + kToolOutputFile;
  test::WriteBytes(kept, "kept");
  std::error_code ec;
  std::filesystem::create_hard_link(kept, planted, ec);
  const std::string lines(3000, 'x');
  ToolResult failed = RunExternalCommand(
      capture_.ui(), kChild + " out:first out:" + lines + " err:" + lines + " exit:4", "");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->exit_code, 4u);
  EXPECT_EQ(failed->output.size(), kOutputTail);
  EXPECT_FALSE(test::Contains(failed->output, "first"));
  EXPECT_EQ(failed->output.back(), '\n');
  ToolResult passed = RunExternalCommand(capture_.ui(), kChild + " out:" + lines, "");
  ASSERT_TRUE(passed);
  EXPECT_EQ(passed->output, "");
  EXPECT_EQ(test::ReadBytes(kept), "kept");
  EXPECT_FALSE(test::Exists(planted));

  // Where no capture can be made the call runs all the same, its output thrown away.
  ASSERT_TRUE(platform::MakeDirectory(planted));
  ToolResult uncaptured = RunExternalCommand(capture_.ui(), kChild + " out:first exit:4", "");
  EXPECT_TRUE(test::RemoveDirectory(planted));
  ASSERT_TRUE(uncaptured);
  EXPECT_EQ(uncaptured->exit_code, 4u);
  EXPECT_EQ(uncaptured->output, "");
  EXPECT_FALSE(test::Contains(capture_.Log(), "Failed to create file"));
}

}  // namespace
