#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "support/files.h"

namespace {

// A child that outlasts the period is waited for to its own end, whatever the tick does:
// its output and exit code arrive whole, and the ticks count up from one second.
TEST(RunCommandLine, TicksWhileTheChildRunsAndNeverStopsIt) {
  test::TempDir dir;
  std::string capture = dir.File("out.txt");
  std::vector<unsigned> ticks;
  Expected<uint32_t> code =
      platform::RunCommandLine("runner-child.exe out:first sleep:1500 out:second exit:7", capture,
                               [&](unsigned s) { ticks.push_back(s); });
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 7u);
  EXPECT_EQ(test::ReadText(capture), "first\nsecond\n");
  ASSERT_FALSE(ticks.empty());
  EXPECT_GE(ticks.front(), 1u);
  for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GT(ticks[i], ticks[i - 1]);
}

}  // namespace
