#include "platform/console_layout.h"

#include <gtest/gtest.h>

namespace {

// The run asks for 121 by 65; the administrator's console may be smaller or larger.
TEST(ConsoleLayout, GrowsToTheWantedSizeAndNeverShrinks) {
  using platform::ConsoleLayout;
  struct Case {
    const char* what;
    ConsoleLayout now;
    int largest_columns, largest_rows;
    ConsoleLayout grown;
  } cases[] = {
      {"a small console grows", {80, 25, 0, 0, 79, 24}, 0, 0, {121, 65, 0, 0, 120, 64}},
      {"a long history is kept; the window moves up to fit",
       {120, 9001, 0, 8970, 119, 9000},
       0,
       0,
       {121, 9001, 0, 8936, 120, 9000}},
      {"a larger console is left alone",
       {200, 3000, 10, 100, 159, 199},
       0,
       0,
       {200, 3000, 10, 100, 159, 199}},
      {"the window grows only as far as the screen allows",
       {80, 300, 0, 0, 79, 24},
       100,
       50,
       {121, 300, 0, 0, 99, 49}},
      {"a window already beyond the screen's limit keeps its size",
       {130, 300, 0, 0, 129, 69},
       100,
       50,
       {130, 300, 0, 0, 129, 69}},
  };
  for (const Case& c : cases) {
    ConsoleLayout g = platform::GrowConsole(c.now, 121, 65, c.largest_columns, c.largest_rows);
    EXPECT_EQ(g.buffer_columns, c.grown.buffer_columns) << c.what;
    EXPECT_EQ(g.buffer_rows, c.grown.buffer_rows) << c.what;
    EXPECT_EQ(g.left, c.grown.left) << c.what;
    EXPECT_EQ(g.top, c.grown.top) << c.what;
    EXPECT_EQ(g.right, c.grown.right) << c.what;
    EXPECT_EQ(g.bottom, c.grown.bottom) << c.what;
  }
}

}  // namespace
