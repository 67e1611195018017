// Every option word in one table: the parser, the compatibility check and the usage text all
// read it, and so do the tests and the check of the documentation's option tables.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/options.h"
#include "messages/messages.h"

enum class OptionRole {
  kOption,   // a whole word in any case, '/' counting as '-'
  kHelp,     // such a word that rejects the line, so that the usage text is shown
  kIgnored,  // accepted and ignored wherever it stands inside a word, in this case only
};

struct OptionRow {
  // The words, separated by spaces; the first is the one the usage text, the documentation
  // and the compatibility lists name.
  const char* words;
  OptionRole role;
  bool takes_file_name;  // the next argument, whatever it looks like, is the report file
  RunMode mode;          // the run mode it chooses; kUpdate for none
  // The other options it may be given with, by their first words. A pair is named once,
  // under either option, and the documents name it there; an option may always be repeated.
  // nullptr: it takes no part in the matrix and combines with everything.
  const char* combines_with;
  const char* usage_line;          // nullptr: accepted but not listed in the usage text
  void (*sets)(Options& options);  // the field it sets; nullptr for none
};

// The rows in the order of the usage text, the documentation and the matrix. A function
// rather than a table in memory: the product keeps no static data of its own.
constexpr auto OptionTable() {
  constexpr OptionRole kOption = OptionRole::kOption;
  constexpr OptionRole kHelp = OptionRole::kHelp;
  constexpr OptionRole kIgnored = OptionRole::kIgnored;
  constexpr RunMode kNoMode = RunMode::kUpdate;
  // clang-format off
  using Row = OptionRow;
  return std::array{
      //  words            role      file   mode                        combines    usage line
      //     sets
      Row{"-c",            kOption,  false, RunMode::kShowInstalled,    "",         msg::kUsageShowInstalled,
          nullptr},
      Row{"-d",            kOption,  true,  RunMode::kWriteReport,      "-s",       msg::kUsageWriteReport,
          nullptr},
      Row{"-e -rewrite",   kOption,  false, kNoMode,                    "-g -s -y", msg::kUsageRewrite,
          [](Options& o) { o.update.rewrite = true; }},
      Row{"-f",            kOption,  false, kNoMode,                    "-s -y",    msg::kUsageForce,
          [](Options& o) { o.update.force = true; }},
      Row{"-g -downgrade", kOption,  false, kNoMode,                    "-s -y",    msg::kUsageDowngrade,
          [](Options& o) { o.update.downgrade = true; }},
      Row{"-h ? -help",    kHelp,    false, kNoMode,                    nullptr,    msg::kUsageHelp,
          nullptr},
      Row{"-n",            kOption,  false, kNoMode,                    "",         nullptr,
          [](Options& o) { o.update.report_only = true; }},
      Row{"-ql",           kOption,  false, RunMode::kVersionOnlyCheck, "-s -u -y", nullptr,
          nullptr},
      Row{"-s",            kOption,  false, kNoMode,                    "-u -v",    msg::kUsageSilent,
          [](Options& o) { o.answers.silent = true; }},
      Row{"-u",            kOption,  true,  RunMode::kApplyReport,      "-y",       msg::kUsageApplyReport,
          nullptr},
      Row{"-v",            kOption,  true,  RunMode::kDependencyCheck,  "",         nullptr,
          nullptr},
      Row{"-y",            kOption,  false, kNoMode,                    "",         msg::kUsageAssumeDefault,
          [](Options& o) { o.answers.assume_default = true; }},
      Row{"-debug",        kOption,  false, kNoMode,                    nullptr,    nullptr,
          [](Options& o) { o.debug = true; }},
      Row{"-no_overwrite", kIgnored, false, kNoMode,                    nullptr,    nullptr,
          nullptr},
  };
  // clang-format on
}

// The words of a space-separated list, in order.
inline std::vector<std::string> WordsOf(const char* list) {
  std::vector<std::string> words;
  for (const char* p = list; p && *p;) {
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end != p) words.emplace_back(p, end);
    p = *end ? end + 1 : end;
  }
  return words;
}

// Whether two options of the matrix may be given together.
inline bool Combine(const OptionRow& a, const OptionRow& b) {
  if (std::string(a.words) == b.words) return true;
  auto names = [](const OptionRow& row, const OptionRow& other) {
    std::string word = WordsOf(other.words).front();
    for (const std::string& named : WordsOf(row.combines_with)) {
      if (named == word) return true;
    }
    return false;
  };
  return names(a, b) || names(b, a);
}
