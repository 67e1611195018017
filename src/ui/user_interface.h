// Every user-visible text passes through the one UserInterface: the console, the log
// file, the debug trace and the y/n/q/c question.
#pragma once

#include <cstdio>
#include <string>

#include "ui/console_window.h"

// Lets the compiler check every format against its arguments (args 0: a va_list).
#if defined(__clang__)
#define QV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#endif

// Answer codes of UserInterface::Ask.
enum Answer { kAnswerYes = 0, kAnswerNo = 1, kAnswerQuit = 2, kAnswerNextAdapter = 3 };

class UserInterface {
 public:
  // input and output default to the process's standard streams; tests pass their own.
  UserInterface(const std::string& log_path, int columns, int rows, std::FILE* input = stdin,
                std::FILE* output = stdout);
  UserInterface(const UserInterface&) = delete;
  UserInterface& operator=(const UserInterface&) = delete;
  ~UserInterface();

  void SetModes(bool silent, bool debug, bool assume_default);

  // Log only.
  void Write(const char* format, ...) QV_PRINTF(2, 3);
  // Console only, unless silent.
  void Display(const char* format, ...) QV_PRINTF(2, 3);
  // Console (unless silent) and log.
  void Print(const char* format, ...) QV_PRINTF(2, 3);
  // Log, only with -debug and without -s.
  void Trace(const char* format, ...) QV_PRINTF(2, 3);

  // Asks the question and returns an Answer. silent_answer serves silent and assume-default
  // runs, forced_answer silent runs with -f, empty_answer an empty input line;
  // default_text is shown in parentheses.
  int Ask(const std::string& question, int silent_answer, int forced_answer, int empty_answer,
          const char* default_text);

  const std::string& log_path() const { return log_path_; }

 private:
  bool OpenLog();
  void WriteText(const std::string& text);
  void DisplayText(const std::string& text);

  std::string log_path_;
  bool silent_ = false;
  bool debug_ = false;
  bool assume_default_ = false;
  std::FILE* log_ = nullptr;
  ConsoleWindow console_;
  std::FILE* input_;
  std::FILE* output_;
};

// The process-wide UserInterface. Start-up creates it; tests install their own.
UserInterface& UI();
bool HasUserInterface();
void InstallUserInterface(UserInterface* ui);
