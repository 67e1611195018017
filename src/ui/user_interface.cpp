#include "ui/user_interface.h"

#include <strings.h>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "app/run_flags.h"

namespace {

UserInterface* g_ui = nullptr;

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

bool EqualsIgnoringCase(const char* a, const char* b) {
  return strcasecmp(a, b) == 0;
}

// The answer a typed line stands for; blanks count as characters.
int DecideAnswer(const char* line) {
  switch (std::tolower(static_cast<unsigned char>(line[0]))) {
    case 'y':
      return EqualsIgnoringCase(line, "y") || EqualsIgnoringCase(line, "yes") ? kAnswerYes
                                                                              : kAnswerNo;
    case 'q':
      return EqualsIgnoringCase(line, "q") || EqualsIgnoringCase(line, "quit") ? kAnswerQuit
                                                                               : kAnswerNo;
    case 'c':
      return EqualsIgnoringCase(line, "c") ? kAnswerNextAdapter : kAnswerNo;
    default:
      return kAnswerNo;
  }
}

}  // namespace

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
    Trace("UserInterface::Write(): fopen() %s failed %lu\n", log_path_.c_str(),
          static_cast<unsigned long>(errno));
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

int UserInterface::Ask(const std::string& question, int silent_answer, int forced_answer,
                       int empty_answer, const char* default_text) {
  if (silent_) return RunFlags::IsSet(RunFlags::Force) ? forced_answer : silent_answer;
  if (assume_default_) return silent_answer;

  Print("%s y/n/q/c (%s):", question.c_str(), default_text);
  char line[80];
  if (!std::fgets(line, sizeof line, input_)) {
    Print("Unknown input problem!\nQuit...\n");
    return kAnswerNo;
  }
  Write("%s", line);
  size_t length = std::strlen(line);
  if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
  if (length == 0) return empty_answer;
  return DecideAnswer(line);
}

UserInterface& UI() {
  return *g_ui;
}
bool HasUserInterface() {
  return g_ui != nullptr;
}
void InstallUserInterface(UserInterface* ui) {
  g_ui = ui;
}
