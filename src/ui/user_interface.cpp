#include "ui/user_interface.h"

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <utility>

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

UserInterface::UserInterface(UiSettings settings)
    : log_path_(settings.log_path.substr(0, 259)),
      modes_(settings.answers),
      debug_(settings.debug),
      protected_files_(std::move(settings.protected_files)),
      errors_(settings.errors),
      progress_enabled_(settings.progress),
      console_(settings.columns, settings.rows),
      input_(settings.input),
      output_(settings.output) {}

UserInterface::~UserInterface() {
  if (log_) std::fclose(log_);
}

Expected<void, platform::OpenStatus> UserInterface::OpenLog() {
  if (log_) return {};
  Expected<std::FILE*, platform::OpenStatus> opened =
      platform::OpenForWriting(log_path_, platform::WriteMode::kAppend, protected_files_);
  if (!opened) {
    if (!log_failed_) Error(msg::kLogUnavailable, log_path_.c_str());
    log_failed_ = true;
    return opened.error();
  }
  log_ = *opened;
  return {};
}

// A log that stops taking lines (a full disk) is told once; the run goes on without it.
void UserInterface::AppendToLog(const std::string& text) {
  bool written = std::fwrite(text.data(), 1, text.size(), log_) == text.size();
  if (std::fflush(log_) == 0 && written) return;
  std::clearerr(log_);
  if (!log_write_failed_) Error(msg::kLogWriteFailed, log_path_.c_str());
  log_write_failed_ = true;
}

void UserInterface::WriteText(const std::string& text) {
  if (!OpenLog()) return;
  AppendToLog(text);
}

void UserInterface::DisplayText(const std::string& text) {
  if (Silent()) return;
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
  if (!started_ || modes_.silent || !debug_ || !log_) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  AppendToLog(text);
}

void UserInterface::ShowProgress(const std::string& text) {
  if (!ShowsProgress()) return;
  std::string bytes = DrawProgress(&progress_, text);
  std::fwrite(bytes.data(), 1, bytes.size(), output_);
  std::fflush(output_);
}

void UserInterface::EndProgress() {
  std::string bytes = EraseProgress(&progress_);
  if (bytes.empty()) return;
  std::fwrite(bytes.data(), 1, bytes.size(), output_);
  std::fflush(output_);
}

void UserInterface::Error(const char* format, ...) {
  if (!errors_) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  std::fwrite(text.data(), 1, text.size(), errors_);
  std::fflush(errors_);
}

Answer UserInterface::Ask(const std::string& question, const QuestionDefaults& defaults) {
  if (started_ && (modes_.silent || modes_.assume_default)) return defaults.silent_answer;
  // An interrupt answers q, also when it cuts the wait for a line short.
  if (platform::InterruptRequested()) return Answer::kQuit;

  Print(msg::kQuestion, question.c_str(), defaults.default_text);
  // One typed line answers one question: its first characters decide, and what does not fit
  // is read and dropped, so that it never answers the next question.
  constexpr size_t kDeciding = 79;
  std::string line;
  bool read_any = false;
  bool ended = false;
  for (int c; (c = std::fgetc(input_)) != EOF;) {
    read_any = true;
    if (c == '\n') {
      ended = true;
      break;
    }
    if (line.size() < kDeciding) line.push_back(static_cast<char>(c));
  }
  // An interrupt that cuts the wait for a line short answers q.
  if (!ended && platform::ReadWasInterrupted()) return Answer::kQuit;
  if (!read_any) {
    Print(msg::kInputProblem);
    return Answer::kNo;
  }
  // The line reads as a C text: a NUL typed into it ends it.
  std::string typed = line.c_str();
  Write(ended || line.size() == kDeciding ? msg::kLine : msg::kText, typed.c_str());
  if (!typed.empty() && typed.back() == '\r') typed.pop_back();
  if (typed.empty()) return defaults.empty_answer;
  return DecideAnswer(typed);
}
