// Gives the console a fixed size for the run; the size is kept after the program ends.
#pragma once

class ConsoleWindow {
 public:
  ConsoleWindow(int columns, int rows);
};
