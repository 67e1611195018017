// A message shown at most once per run.
#pragma once

#include "ui/user_interface.h"

struct OneTimeNotice {
  enum class Channel { kConsole, kConsoleAndLog, kLog };
  bool shown = false;
  Channel channel = Channel::kConsoleAndLog;
};

void WriteOnce(OneTimeNotice* notice, UserInterface& ui, const char* format, ...) QV_PRINTF(3, 4);
