#include "ui/one_time_notice.h"

#include <gtest/gtest.h>

#include "support/ui_capture.h"

namespace {

class OneTimeNoticeTest : public ::testing::Test {
 protected:
  test::CapturedUi capture_;
};

TEST_F(OneTimeNoticeTest, ShownOnceOnItsChannel) {
  OneTimeNotice console_only;
  console_only.channel = OneTimeNotice::Channel::kConsole;
  OneTimeNotice log_only;
  log_only.channel = OneTimeNotice::Channel::kLog;
  OneTimeNotice both;
  both.channel = OneTimeNotice::Channel::kConsoleAndLog;
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
  notice.channel = OneTimeNotice::Channel::kLog;
  std::string text(600, 'x');
  WriteOnce(&notice, capture_.ui(), "%s|%d\n", text.c_str(), 42);
  EXPECT_EQ(capture_.Log(), text + "|42\n");
}

}  // namespace
