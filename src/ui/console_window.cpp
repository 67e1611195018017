#include "ui/console_window.h"

#include "platform/platform.h"

ConsoleWindow::ConsoleWindow(int columns, int rows) {
  platform::SizeConsole(columns, rows);
}
