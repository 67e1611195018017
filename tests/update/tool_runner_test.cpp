#include "update/tool_runner.h"

#include <gtest/gtest.h>

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
  uint32_t exit_code_ = 12345;
};

TEST_F(ToolRunnerTest, MissingToolGives98AndLogsTheCommandLine) {
  std::string capture = dir_.File("out.txt");
  test::WriteBytes(capture, "old");
  EXPECT_FALSE(RunExternalCommand("no-such-tool.exe -d tempNicList.xml", capture, &exit_code_));
  EXPECT_EQ(exit_code_, 98u);
  EXPECT_EQ(test::ReadText(capture), "");  // emptied all the same
  EXPECT_EQ(capture_.Log(), "no-such-tool.exe -d tempNicList.xml\n");
  EXPECT_EQ(capture_.Console(), "");
}

// Exit codes passed on are seen end to end: discovery and flash failures name their codes.
TEST_F(ToolRunnerTest, CaptureFileIsEmptiedAndHoldsOutputAndErrors) {
  std::string capture = dir_.File("hwflagStatus.dat");
  test::WriteBytes(capture, "left over from an earlier run\n");
  EXPECT_TRUE(
      RunExternalCommand(kChild + " out:first err:second out:third exit:3", capture, &exit_code_));
  EXPECT_EQ(exit_code_, 3u);
  EXPECT_EQ(test::ReadText(capture), "first\nsecond\nthird\n");

  // A silent run still empties the file.
  EXPECT_TRUE(RunExternalCommand(kChild, capture, &exit_code_));
  EXPECT_TRUE(test::Exists(capture));
  EXPECT_EQ(test::ReadText(capture), "");
}

TEST_F(ToolRunnerTest, UncreatableCaptureFileGives98WithoutRunning) {
  std::string capture = dir_.File("missing-dir") + platform::PathSeparator() + "out.txt";
  EXPECT_FALSE(RunExternalCommand(kChild + " exit:5", capture, &exit_code_));
  EXPECT_EQ(exit_code_, 98u);
  EXPECT_EQ(capture_.Log(), kChild + " exit:5\nFailed to create file\n");
}

class OneTimeNoticeTest : public ::testing::Test {
 protected:
  test::CapturedUi capture_;
};

TEST_F(OneTimeNoticeTest, ShownOnceOnItsChannel) {
  OneTimeNotice console_only;
  console_only.channel = 0;
  OneTimeNotice log_only;
  log_only.channel = 1;
  OneTimeNotice both;
  both.channel = 2;
  for (int i = 0; i < 2; ++i) {
    WriteOnce(&console_only, capture_.ui(), "%s", "console\n");
    WriteOnce(&log_only, capture_.ui(), "%s", "log\n");
    WriteOnce(&both, capture_.ui(), "Please wait %d minutes.\n", 5);
  }
  EXPECT_EQ(capture_.Console(), "console\nPlease wait 5 minutes.\n");
  EXPECT_EQ(capture_.Log(), "log\nPlease wait 5 minutes.\n");
}

TEST_F(OneTimeNoticeTest, TextIsWrittenUnchanged) {
  // A percent sign in an argument must not be read as a format a second time.
  OneTimeNotice notice;
  WriteOnce(&notice, capture_.ui(), "%s", "100%s done %d\n");
  EXPECT_EQ(capture_.Log(), "100%s done %d\n");
}

TEST_F(OneTimeNoticeTest, LongTextIsWrittenWhole) {
  OneTimeNotice notice;
  notice.channel = 1;
  std::string text(600, 'x');
  WriteOnce(&notice, capture_.ui(), "%s|%d\n", text.c_str(), 42);
  EXPECT_EQ(capture_.Log(), text + "|42\n");
}

}  // namespace
