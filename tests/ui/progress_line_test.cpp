#include "ui/progress_line.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressLine, FormatsTheElapsedTimeAsMinutesAndSeconds) {
  struct Case {
    unsigned seconds;
    const char* text;
  } cases[] = {
      {0, "  flashing 4:0.0 ... 00:00"},     {1, "  flashing 4:0.0 ... 00:01"},
      {102, "  flashing 4:0.0 ... 01:42"},   {3599, "  flashing 4:0.0 ... 59:59"},
      {6000, "  flashing 4:0.0 ... 100:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatProgress("flashing 4:0.0", c.seconds), c.text);
}

// What reaches the console: each redraw starts at the line's start and covers what a longer
// earlier text left; erasing blanks exactly what is shown and happens once.
TEST(ProgressLine, RedrawsInPlaceAndErasesItself) {
  ProgressLine line;
  EXPECT_EQ(EraseProgress(&line), "");
  EXPECT_EQ(DrawProgress(&line, "  a ... 00:01"), "\r  a ... 00:01");
  EXPECT_EQ(DrawProgress(&line, "  a ... 00:02"), "\r  a ... 00:02");
  EXPECT_EQ(DrawProgress(&line, "  b"), "\r  b" + std::string(10, ' '));
  EXPECT_EQ(EraseProgress(&line), "\r   \r");
  EXPECT_EQ(EraseProgress(&line), "");
}

}  // namespace
