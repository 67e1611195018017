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
  // under either option (below, under the earlier one); an option may always be repeated.
  // nullptr: it takes no part in the matrix and combines with everything.
  const char* combines_with;
  const char* usage_line;          // nullptr: accepted but not listed in the usage text
  void (*sets)(Options& options);  // the field it sets; nullptr for none
};

// The rows in the order of the usage text, the documentation and the matrix. A function
// rather than a table in memory: the product keeps no static data of its own.
constexpr std::array<OptionRow, 14> OptionTable() {
  constexpr OptionRole kOption = OptionRole::kOption;
  constexpr RunMode kNoMode = RunMode::kUpdate;
  // clang-format off
  return {{
      // words          role     file   mode                        combines     usage line
      //  sets
      {"-c",            kOption, false, RunMode::kShowInstalled,    "",          msg::kUsageShowInstalled,
       nullptr},
      {"-d",            kOption, true,  RunMode::kWriteReport,      "-s",        msg::kUsageWriteReport,
       nullptr},
      {"-e -rewrite",   kOption, false, kNoMode,                    "-g -s -y",  msg::kUsageRewrite,
       [](Options& o) { o.update.rewrite = true; }},
      {"-f",            kOption, false, kNoMode,                    "-s -y",     msg::kUsageForce,
       [](Options& o) { o.update.force = true; }},
      {"-g -downgrade", kOption, false, kNoMode,                    "-s -y",     msg::kUsageDowngrade,
       [](Options& o) { o.update.downgrade = true; }},
      {"-h ? -help",    OptionRole::kHelp, false, kNoMode,          nullptr,     msg::kUsageHelp,
       nullptr},
      {"-n",            kOption, false, kNoMode,                    "",          nullptr,
       [](Options& o) { o.update.report_only = true; }},
      {"-ql",           kOption, false, RunMode::kVersionOnlyCheck, "-s -u -y",  nullptr,
       nullptr},
      {"-s",            kOption, false, kNoMode,                    "-u -v",     msg::kUsageSilent,
       [](Options& o) { o.answers.silent = true; }},
      {"-u",            kOption, true,  RunMode::kApplyReport,      "-y",        msg::kUsageApplyReport,
       nullptr},
      {"-v",            kOption, true,  RunMode::kDependencyCheck,  "",          nullptr,
       nullptr},
      {"-y",            kOption, false, kNoMode,                    "",          msg::kUsageAssumeDefault,
       [](Options& o) { o.answers.assume_default = true; }},
      {"-debug",        kOption, false, kNoMode,                    nullptr,     nullptr,
       [](Options& o) { o.debug = true; }},
      {"-no_overwrite", OptionRole::kIgnored, false, kNoMode,       nullptr,     nullptr,
       nullptr},
  }};
  // clang-format on
}

// The array's size is written by hand: a size larger than the rows leaves an empty row.
constexpr bool EveryRowHasWords() {
  for (const OptionRow& row : OptionTable()) {
    if (row.words == nullptr) return false;
  }
  return true;
}
static_assert(EveryRowHasWords(), "OptionTable() declares more rows than it fills");

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
