#include "app/command_line.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

// The option words given, one bit each, in the order of the compatibility matrix's rows and
// columns.
enum OptionBit : uint32_t {
  kShowInstalled = 1u << 0,      // -c
  kWriteReport = 1u << 1,        // -d
  kRewrite = 1u << 2,            // -e
  kForce = 1u << 3,              // -f
  kDowngrade = 1u << 4,          // -g
  kReportOnly = 1u << 5,         // -n
  kVersionOnlyCheck = 1u << 6,   // -ql
  kSilent = 1u << 7,             // -s
  kApplyReport = 1u << 8,        // -u
  kVersionOnlyReport = 1u << 9,  // -v
  kAssumeDefault = 1u << 10,     // -y
  kDebug = 1u << 11,             // -debug, outside the matrix
};
constexpr int kOptionCount = 11;

struct Words {
  uint32_t bits = 0;
  std::string report_file;
  std::vector<std::string> echo;  // the words read so far, as the log shows them
};

bool Is(const char* arg, const char* word) {
  return platform::EqualsIgnoringCase(arg, word);
}

// Copies the file name that follows an option; false when there is none or it does not fit.
bool TakeFileName(int argc, const char* const* argv, int* i, uint32_t bit, Words* words) {
  if (*i + 1 >= argc) return false;
  const char* name = argv[++*i];
  words->echo.push_back(name);
  if (std::strlen(name) > kMaxReportFileName) return false;
  words->report_file = name;
  words->bits |= bit;
  return true;
}

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

// Reads option words up to the first that is not understood; false there.
bool ReadWords(int argc, const char* const* argv, Words* words) {
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (!word.empty() && word[0] == '/') word[0] = '-';
    words->echo.push_back(word);
    const char* arg = word.c_str();
    if (Is(arg, "-h") || Is(arg, "?") || Is(arg, "-help")) return false;
    if (Is(arg, "-c")) {
      words->bits |= kShowInstalled;
    } else if (Is(arg, "-d")) {
      if (!TakeFileName(argc, argv, &i, kWriteReport, words)) return false;
    } else if (Is(arg, "-debug")) {
      words->bits |= kDebug;
    } else if (Is(arg, "-e") || Is(arg, "-rewrite")) {
      words->bits |= kRewrite;
    } else if (Is(arg, "-f")) {
      words->bits |= kForce;
    } else if (Is(arg, "-g") || Is(arg, "-downgrade")) {
      words->bits |= kDowngrade;
    } else if (Is(arg, "-n")) {
      words->bits |= kReportOnly;
    } else if (std::strstr(arg, "-no_overwrite")) {
      continue;  // accepted for compatibility and ignored
    } else if (Is(arg, "-ql")) {
      words->bits |= kVersionOnlyCheck;
    } else if (Is(arg, "-s")) {
      words->bits |= kSilent;
    } else if (Is(arg, "-u")) {
      if (!TakeFileName(argc, argv, &i, kApplyReport, words)) return false;
    } else if (Is(arg, "-v")) {
      if (!TakeFileName(argc, argv, &i, kVersionOnlyReport, words)) return false;
    } else if (Is(arg, "-y")) {
      words->bits |= kAssumeDefault;
    } else {
      return false;
    }
  }
  return true;
}

bool Compatible(uint32_t bits) {
  for (int row = 0; row < kOptionCount; ++row) {
    if (!(bits & (1u << row))) continue;
    for (int column = 0; column < kOptionCount; ++column) {
      if (!kCompatible[row][column] && (bits & (1u << column))) return false;
    }
  }
  return true;
}

// Where several mode options may stand together (-ql -u), the first in this order wins.
RunMode ModeOf(uint32_t bits) {
  if (bits & kShowInstalled) return RunMode::kShowInstalled;
  if (bits & kWriteReport) return RunMode::kWriteReport;
  if (bits & kApplyReport) return RunMode::kApplyReport;
  if (bits & kVersionOnlyCheck) return RunMode::kVersionOnlyCheck;
  if (bits & kVersionOnlyReport) return RunMode::kDependencyCheck;
  return RunMode::kUpdate;
}

Options OptionsOf(const Words& words) {
  Options options;
  uint32_t bits = words.bits;
  options.mode = ModeOf(bits);
  options.update.report_only = bits & kReportOnly;
  options.update.rewrite = bits & kRewrite;
  options.update.force = bits & kForce;
  options.update.downgrade = bits & kDowngrade;
  options.answers.silent = bits & kSilent;
  options.answers.assume_default = bits & kAssumeDefault;
  options.debug = bits & kDebug;
  options.report_file = words.report_file;
  return options;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  Words words;
  if (argc > 0) words.echo.push_back(argv[0]);
  bool understood = ReadWords(argc, argv, &words);
  // The words after the one that stopped the reading are echoed as given.
  for (int i = static_cast<int>(words.echo.size()); i < argc; ++i) words.echo.push_back(argv[i]);
  ParsedCommandLine parsed;
  parsed.options = OptionsOf(words);
  parsed.accepted = understood && Compatible(words.bits);
  parsed.echo = std::move(words.echo);
  return parsed;
}

void ShowUsage(UserInterface& ui, const std::string& program_path) {
  size_t base = 0;
  for (size_t i = 0; i < program_path.size(); ++i) {
    if (platform::IsPathSeparator(program_path[i])) base = i + 1;
  }
  // The name's last dot starts the extension, which is not shown.
  std::string name = program_path.substr(base);
  size_t last_dot = name.rfind('.');
  if (last_dot != std::string::npos) name.erase(last_dot);
  ui.Print(msg::kUsagePrefix, name.c_str());
  ui.Print(msg::kText, msg::kUsage);
}
