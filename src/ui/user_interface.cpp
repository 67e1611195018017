#include "ui/user_interface.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

QV_PRINTF(1, 0) std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  return text;
}

// The answer a typed line stands for; blanks count as characters.
Answer DecideAnswer(const std::string& line) {
  using platform::EqualsIgnoringCase;
  switch (std::tolower(static_cast<unsigned char>(line[0]))) {
    case 'y':
      return EqualsIgnoringCase(line, "y") || EqualsIgnoringCase(line, "yes") ? Answer::kYes
                                                                              : Answer::kNo;
    case 'q':
      return EqualsIgnoringCase(line, "q") || EqualsIgnoringCase(line, "quit") ? Answer::kQuit
                                                                               : Answer::kNo;
    case 'c':
      return EqualsIgnoringCase(line, "c") ? Answer::kNextAdapter : Answer::kNo;
    default:
      return Answer::kNo;
  }
}

}  // namespace

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return text;
}

UserInterface::UserInterface(const std::string& log_path, int columns, int rows, std::FILE* input,
                             std::FILE* output)
    : log_path_(log_path.substr(0, 259)), console_(columns, rows), input_(input), output_(output) {}

UserInterface::~UserInterface() {
  if (log_) std::fclose(log_);
}

void UserInterface::SetModes(bool silent, bool debug, bool assume_default) {
  silent_ = silent;
  debug_ = debug;
  assume_default_ = assume_default;
}

bool UserInterface::OpenLog() {
  if (log_) return true;
  log_ = std::fopen(log_path_.c_str(), "a");
  if (!log_) {
    Trace(msg::kLogOpenFailed, log_path_.c_str(), static_cast<unsigned long>(errno));
    return false;
  }
  return true;
}

void UserInterface::WriteText(const std::string& text) {
  if (!OpenLog()) return;
  std::fwrite(text.data(), 1, text.size(), log_);
  std::fflush(log_);
}

void UserInterface::DisplayText(const std::string& text) {
  if (silent_) return;
  std::fwrite(text.data(), 1, text.size(), output_);
  std::fflush(output_);
}

void UserInterface::Write(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  WriteText(text);
}

void UserInterface::Display(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  DisplayText(text);
}

void UserInterface::Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  DisplayText(text);
  WriteText(text);
}

void UserInterface::Trace(const char* format, ...) {
  // The trace goes only to a log file that is already open.
  if (silent_ || !debug_ || !log_) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  std::fwrite(text.data(), 1, text.size(), log_);
  std::fflush(log_);
}

Answer UserInterface::Ask(const std::string& question, const QuestionDefaults& defaults) {
  if (silent_ || assume_default_) return defaults.silent_answer;
  // An interrupt answers q, also when it cuts the wait for a line short.
  if (platform::InterruptRequested()) return Answer::kQuit;

  Print(msg::kQuestion, question.c_str(), defaults.default_text);
  char line[80];
  if (!std::fgets(line, sizeof line, input_)) {
    if (platform::ReadWasInterrupted()) return Answer::kQuit;
    Print(msg::kInputProblem);
    return Answer::kNo;
  }
  Write(msg::kText, line);
  size_t length = std::strlen(line);
  if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
  if (length == 0) return defaults.empty_answer;
  return DecideAnswer(line);
}
