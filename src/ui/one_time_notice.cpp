#include "ui/one_time_notice.h"

#include <cstdarg>
#include <vector>

#include "messages/messages.h"

void WriteOnce(OneTimeNotice* notice, UserInterface& ui, const char* format, ...) {
  if (notice->shown) return;
  notice->shown = true;

  // The usual text fits 256 characters; a longer one is formatted again whole rather than
  // cut short.
  std::vector<char> text(256);
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(text.data(), text.size(), format, args);
  if (length >= static_cast<int>(text.size())) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
  }
  va_end(again);
  va_end(args);
  if (length < 0) return;

  switch (notice->channel) {
    case OneTimeNotice::Channel::kConsole:
      ui.Display(msg::kText, text.data());
      break;
    case OneTimeNotice::Channel::kConsoleAndLog:
      ui.Print(msg::kText, text.data());
      break;
    case OneTimeNotice::Channel::kLog:
      ui.Write(msg::kText, text.data());
      break;
  }
}
