// Grows the console to at least the given size for the run, never shrinking it; the size
// is kept after the program ends.
#pragma once

class ConsoleWindow {
 public:
  ConsoleWindow(int columns, int rows);
};
