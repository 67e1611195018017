// Every user-visible text passes through the one UserInterface of a run: the console, the
// log file, the debug trace and the y/n/q/c question.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

#include "platform/platform.h"

#include "ui/console_window.h"
#include "ui/progress_line.h"

// Lets the compiler check every format against its arguments (args 0: a va_list).
#if defined(__clang__)
#define QV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#endif

// A printf format filled in, as a string.
std::string FormatText(const char* format, ...) QV_PRINTF(1, 2);

// What one question was answered with.
enum class Answer { kYes, kNo, kQuit, kNextAdapter };

// How questions are answered without a person: silent runs and -y take the silent answer.
struct AnswerModes {
  bool silent = false;
  bool assume_default = false;
};
// A new field joins the comparison.
inline bool operator==(const AnswerModes& a, const AnswerModes& b) {
  return a.silent == b.silent && a.assume_default == b.assume_default;
}

// The defaults of one question: silent_answer serves silent and assume-default runs,
// empty_answer an empty input line; default_text is shown in parentheses.
struct QuestionDefaults {
  Answer silent_answer = Answer::kYes;
  Answer empty_answer = Answer::kYes;
  const char* default_text = "y";
};

// Everything the user interface of a run is made from.
struct UiSettings {
  std::string log_path;
  int columns = 80;  // the console's size for a run
  int rows = 25;
  AnswerModes answers;  // -s, -y
  bool debug = false;   // -debug
  // Where failures a framework must see are told; none with -s.
  std::FILE* errors = nullptr;
  // Files the log must never be, under whatever name it is reached: a log path that leads to
  // one of them, or that is a link, leaves the run without a log.
  platform::FileIds protected_files;
  // Whether standard output is a console, where a running tool's time may be counted.
  bool progress = false;
  // The process's standard streams; tests pass their own.
  std::FILE* input = stdin;
  std::FILE* output = stdout;
};

class UserInterface {
 public:
  explicit UserInterface(UiSettings settings);
  UserInterface(const UserInterface&) = delete;
  UserInterface& operator=(const UserInterface&) = delete;
  ~UserInterface();

  // Start-up's lines reach the console and write no trace whatever the command line says;
  // from here on its -s, -y and -debug apply.
  void EndStartUp() { started_ = true; }

  // Log only.
  void Write(const char* format, ...) QV_PRINTF(2, 3);
  // Console only, unless silent.
  void Display(const char* format, ...) QV_PRINTF(2, 3);
  // Console (unless silent) and log.
  void Print(const char* format, ...) QV_PRINTF(2, 3);
  // Log, only with -debug and without -s.
  void Trace(const char* format, ...) QV_PRINTF(2, 3);
  // Standard error, for failures a framework must see although they end with exit code 0;
  // only where an error stream was given (never with -s).
  void Error(const char* format, ...) QV_PRINTF(2, 3);

  // A line on the console that counts while a tool runs: only where standard output is a
  // console and the run is not silent; never in the log.
  bool ShowsProgress() const { return progress_enabled_ && !Silent(); }
  void ShowProgress(const std::string& text);
  // Erases the line, so that the next output starts on a clean line.
  void EndProgress();

  Answer Ask(const std::string& question, const QuestionDefaults& defaults);

  const std::string& log_path() const { return log_path_; }

 private:
  // Opens the log on first use; an error (told once) when it cannot be written.
  Expected<void, platform::OpenStatus> OpenLog();
  void AppendToLog(const std::string& text);
  void WriteText(const std::string& text);
  void DisplayText(const std::string& text);

  bool Silent() const { return started_ && modes_.silent; }

  std::string log_path_;
  AnswerModes modes_;
  bool debug_;
  bool started_ = false;
  std::FILE* log_ = nullptr;
  bool log_failed_ = false;
  bool log_write_failed_ = false;
  platform::FileIds protected_files_;
  std::FILE* errors_;
  bool progress_enabled_;
  ProgressLine progress_;
  ConsoleWindow console_;
  std::FILE* input_;
  std::FILE* output_;
};
