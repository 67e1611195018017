#include "platform/console_layout.h"

#include <algorithm>

namespace platform {
namespace {

// The new extent of the window along one axis: its start and inclusive end.
void GrowSpan(int* start, int* end, int wanted, int buffer, int largest) {
  int limit = largest > 0 ? std::min(buffer, largest) : buffer;
  int size = std::max(*end - *start + 1, std::min(wanted, limit));
  *start = std::max(0, std::min(*start, buffer - size));
  *end = *start + size - 1;
}

}  // namespace

ConsoleLayout GrowConsole(const ConsoleLayout& now, int columns, int rows, int largest_columns,
                          int largest_rows) {
  ConsoleLayout grown = now;
  grown.buffer_columns = std::max(now.buffer_columns, columns);
  grown.buffer_rows = std::max(now.buffer_rows, rows);
  GrowSpan(&grown.left, &grown.right, columns, grown.buffer_columns, largest_columns);
  GrowSpan(&grown.top, &grown.bottom, rows, grown.buffer_rows, largest_rows);
  return grown;
}

void GrowConsoleThrough(ConsoleCalls& console, int columns, int rows) {
  SystemResult<ConsoleLayout> read = console.Read();
  if (!read) return;
  const ConsoleLayout& now = *read;
  int largest_columns = 0, largest_rows = 0;
  console.LargestWindow(&largest_columns, &largest_rows);
  ConsoleLayout grown = GrowConsole(now, columns, rows, largest_columns, largest_rows);
  if ((grown.buffer_columns != now.buffer_columns || grown.buffer_rows != now.buffer_rows) &&
      !console.SetBuffer(grown.buffer_columns, grown.buffer_rows))
    return;
  Ignore(console.SetWindow(grown.left, grown.top, grown.right, grown.bottom),
         "the last step: a window that cannot grow stays as it was, and the run goes on");
}

}  // namespace platform
