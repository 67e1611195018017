#include "platform/console_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

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

// A console as Windows keeps one: the window must lie inside the buffer and within the
// screen's largest window, and a buffer cannot be set smaller than the window.
class ModelConsole : public platform::ConsoleCalls {
 public:
  ModelConsole(platform::ConsoleLayout now, int largest_columns, int largest_rows)
      : now_(now), largest_columns_(largest_columns), largest_rows_(largest_rows) {}

  platform::SystemResult<platform::ConsoleLayout> Read() override {
    if (!readable) return Error<platform::SystemError>{};
    return now_;
  }
  void LargestWindow(int* columns, int* rows) override {
    *columns = largest_columns_;
    *rows = largest_rows_;
  }
  platform::SystemResult<void> SetBuffer(int columns, int rows) override {
    Note("buffer " + std::to_string(columns) + "x" + std::to_string(rows));
    if (!buffer_settable || columns < Width(now_) || rows < Height(now_))
      return Error<platform::SystemError>{};
    shrunk |= columns < now_.buffer_columns || rows < now_.buffer_rows;
    now_.buffer_columns = columns;
    now_.buffer_rows = rows;
    return {};
  }
  platform::SystemResult<void> SetWindow(int left, int top, int right, int bottom) override {
    Note("window " + std::to_string(right - left + 1) + "x" + std::to_string(bottom - top + 1));
    platform::ConsoleLayout w = now_;
    w.left = left, w.top = top, w.right = right, w.bottom = bottom;
    if (left < 0 || top < 0 || right >= now_.buffer_columns || bottom >= now_.buffer_rows ||
        (largest_columns_ && Width(w) > largest_columns_) ||
        (largest_rows_ && Height(w) > largest_rows_))
      return Error<platform::SystemError>{};
    shrunk |= Width(w) < Width(now_) || Height(w) < Height(now_);
    now_ = w;
    return {};
  }

  const platform::ConsoleLayout& now() const { return now_; }
  std::string calls;
  bool readable = true, buffer_settable = true, shrunk = false;

 private:
  static int Width(const platform::ConsoleLayout& l) { return l.right - l.left + 1; }
  static int Height(const platform::ConsoleLayout& l) { return l.bottom - l.top + 1; }
  void Note(const std::string& call) { calls += (calls.empty() ? "" : ", ") + call; }

  platform::ConsoleLayout now_;
  int largest_columns_, largest_rows_;
};

// The calls that reach the console, in order: each console ends at the size the rule gives,
// and nothing is ever made smaller on the way.
TEST(ConsoleLayout, CallsGrowTheBufferBeforeTheWindowAndNeverShrink) {
  struct Case {
    const char* what;
    platform::ConsoleLayout now;
    int largest_columns, largest_rows;
    std::string calls;
  } cases[] = {
      {"a small console", {80, 25, 0, 0, 79, 24}, 0, 0, "buffer 121x65, window 121x65"},
      {"a long history", {80, 9001, 0, 8976, 79, 9000}, 0, 0, "buffer 121x9001, window 121x65"},
      {"a wide buffer", {300, 300, 0, 0, 79, 24}, 0, 0, "window 121x65"},
      {"a small screen", {80, 300, 0, 0, 79, 24}, 100, 50, "buffer 121x300, window 100x50"},
      {"a larger console", {200, 3000, 10, 100, 159, 199}, 0, 0, "window 150x100"},
  };
  for (const Case& c : cases) {
    ModelConsole console(c.now, c.largest_columns, c.largest_rows);
    platform::GrowConsoleThrough(console, 121, 65);
    EXPECT_EQ(console.calls, c.calls) << c.what;
    EXPECT_FALSE(console.shrunk) << c.what;
    platform::ConsoleLayout want =
        platform::GrowConsole(c.now, 121, 65, c.largest_columns, c.largest_rows);
    const platform::ConsoleLayout& got = console.now();
    EXPECT_EQ(std::make_tuple(got.buffer_columns, got.buffer_rows, got.left, got.top, got.right,
                              got.bottom),
              std::make_tuple(want.buffer_columns, want.buffer_rows, want.left, want.top,
                              want.right, want.bottom))
        << c.what;
  }

  ModelConsole no_console({80, 25, 0, 0, 79, 24}, 0, 0);
  no_console.readable = false;
  platform::GrowConsoleThrough(no_console, 121, 65);
  EXPECT_EQ(no_console.calls, "");
  ModelConsole fixed_buffer({80, 25, 0, 0, 79, 24}, 0, 0);
  fixed_buffer.buffer_settable = false;  // the window is left alone too
  platform::GrowConsoleThrough(fixed_buffer, 121, 65);
  EXPECT_EQ(fixed_buffer.calls, "buffer 121x65");
}

}  // namespace
