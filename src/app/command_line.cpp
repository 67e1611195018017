#include "app/command_line.h"

#include <strings.h>
#include <cstring>

#include "app/run_flags.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

namespace {

bool Is(const char* arg, const char* word) {
  return strcasecmp(arg, word) == 0;
}

// Copies the file name that follows an option; false when there is none or it does not fit.
bool TakeFileName(int argc, char** argv, int* i, uint32_t bit) {
  if (*i + 1 >= argc) return false;
  const char* name = argv[++*i];
  if (std::strlen(name) > kMaxReportFileName) return false;
  SetReportFileName(name);
  RunFlags::Set(bit);
  return true;
}

// The options of the compatibility matrix, in the order of its rows and columns.
constexpr uint32_t kMatrixOptions[] = {
    RunFlags::ShowInstalled,    RunFlags::WriteReport,
    RunFlags::Rewrite,          RunFlags::Force,
    RunFlags::Downgrade,        RunFlags::ReportOnly,
    RunFlags::VersionOnlyCheck, RunFlags::Silent,
    RunFlags::ApplyReport,      RunFlags::VersionOnlyReport,
    RunFlags::AssumeDefault,
};
constexpr int kOptionCount = sizeof kMatrixOptions / sizeof kMatrixOptions[0];

// 1: the two options may be given together.
//                                    c  d  e  f  g  n ql  s  u  v  y
constexpr char kCompatible[kOptionCount][kOptionCount] = {
    /* -c  */ {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    /* -d  */ {0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0},
    /* -e  */ {0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1},
    /* -f  */ {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1},
    /* -g  */ {0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1},
    /* -n  */ {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
    /* -ql */ {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 1},
    /* -s  */ {0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0},
    /* -u  */ {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 1},
    /* -v  */ {0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0},
    /* -y  */ {0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1},
};

const char* const kUsageLines[] = {
    "[-c] [-d <filename>] [-e] [-f] [-g] [-h] [-s] [-u <filename>] [-y]\n",
    "With no options, interactively upgrade firmware.\n",
    "-c  Display currently installed firmware information.\n",
    "-d <filename>  Generate XML discovery report to <filename>.\n",
    "-e  Enable re-write if the current firmware is the same, and upgrade if the current "
    "firmware is older.\n",
    "-f  Force all firmware changes to occur.\n",
    "-g  Enable downgrade if the current firmware is newer, and upgrade if the current firmware "
    "is older.\n",
    "-h  Display this help menu.\n",
    "-s  Silently (non-interactively) upgrade firmware. \n",
    "-u <filename>  Read XML discovery report from <filename> and perform firmware upgrade.\n",
    "-y  Assume default repsonse for all prompts.\n",
};

}  // namespace

bool ParseCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    if (arg[0] == '/') arg[0] = '-';
    if (Is(arg, "-h") || Is(arg, "?") || Is(arg, "-help")) return false;
    if (Is(arg, "-c")) {
      RunFlags::Set(RunFlags::ShowInstalled);
    } else if (Is(arg, "-d")) {
      if (!TakeFileName(argc, argv, &i, RunFlags::WriteReport)) return false;
    } else if (Is(arg, "-debug")) {
      RunFlags::Set(RunFlags::Debug);
    } else if (Is(arg, "-e") || Is(arg, "-rewrite")) {
      RunFlags::Set(RunFlags::Rewrite);
    } else if (Is(arg, "-f")) {
      RunFlags::Set(RunFlags::Force);
    } else if (Is(arg, "-g") || Is(arg, "-downgrade")) {
      RunFlags::Set(RunFlags::Downgrade);
    } else if (Is(arg, "-n")) {
      RunFlags::Set(RunFlags::ReportOnly);
    } else if (std::strstr(arg, "-no_overwrite")) {
      continue;  // accepted for compatibility and ignored
    } else if (Is(arg, "-ql")) {
      RunFlags::Set(RunFlags::VersionOnlyCheck);
    } else if (Is(arg, "-s")) {
      RunFlags::Set(RunFlags::Silent);
    } else if (Is(arg, "-u")) {
      if (!TakeFileName(argc, argv, &i, RunFlags::ApplyReport)) return false;
    } else if (Is(arg, "-v")) {
      if (!TakeFileName(argc, argv, &i, RunFlags::VersionOnlyReport)) return false;
    } else if (Is(arg, "-y")) {
      RunFlags::Set(RunFlags::AssumeDefault);
    } else {
      return false;
    }
  }
  return true;
}

bool CheckOptionCompatibility() {
  for (int row = 0; row < kOptionCount; ++row) {
    if (!RunFlags::IsSet(kMatrixOptions[row])) continue;
    for (int column = 0; column < kOptionCount; ++column) {
      if (!kCompatible[row][column] && RunFlags::IsSet(kMatrixOptions[column])) return false;
    }
  }
  return true;
}

void ShowUsage(char* program_path) {
  char* base = program_path;
  char* last_dot = nullptr;
  for (char* p = program_path; *p; ++p) {
    if (platform::IsPathSeparator(*p)) base = p + 1;
    if (*p == '.') last_dot = p;
  }
  if (last_dot) *last_dot = '\0';
  UI().Print("USAGE: %s ", base);
  for (const char* line : kUsageLines) UI().Print("%s", line);
}
