// How the console's buffer and window grow for a run: to at least the wanted size, never
// smaller than they are, so nothing an administrator scrolled by is cut off. Kept apart from
// the Windows calls so the rule can be checked on every host.
#pragma once

#include "platform/platform.h"

namespace platform {

struct ConsoleLayout {
  int buffer_columns = 0, buffer_rows = 0;
  // The window's cells in buffer coordinates, inclusive, as the console reports them.
  int left = 0, top = 0, right = 0, bottom = 0;
};

// The layout to set for wanted columns and rows. The window keeps its place where it can,
// is moved back inside the buffer where it must, and grows no wider or taller than the
// largest window the screen allows (0: no limit known).
ConsoleLayout GrowConsole(const ConsoleLayout& now, int columns, int rows, int largest_columns,
                          int largest_rows);

// The console calls that growing it takes: the Windows console answers them, tests a model.
class ConsoleCalls {
 public:
  virtual ~ConsoleCalls() = default;
  // An error when standard output is no console.
  virtual SystemResult<ConsoleLayout> Read() = 0;
  virtual void LargestWindow(int* columns, int* rows) = 0;  // 0 when not known
  virtual SystemResult<void> SetBuffer(int columns, int rows) = 0;
  virtual SystemResult<void> SetWindow(int left, int top, int right, int bottom) = 0;
};

// Grows the console to at least columns by rows through these calls: the buffer first, since
// the window can only grow inside it, then the window. No console, or a buffer that cannot
// grow, leaves everything as it was.
void GrowConsoleThrough(ConsoleCalls& console, int columns, int rows);

}  // namespace platform
