#include "app/command_line.h"

#include <bitset>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/option_table.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

struct Words {
  Options options;
  std::bitset<OptionTable().size()> given;  // the rows whose words were read
  std::vector<std::string> echo;            // the words read so far, as the log shows them
};

// The row of the option word, or nullptr when no row has it.
const OptionRow* FindRow(const decltype(OptionTable())& table, const std::string& word) {
  for (const OptionRow& row : table) {
    if (row.role == OptionRole::kIgnored) {
      if (word.find(row.words) != std::string::npos) return &row;
      continue;
    }
    for (const std::string& name : WordsOf(row.words)) {
      if (platform::EqualsIgnoringCase(word, name)) return &row;
    }
  }
  return nullptr;
}

// Copies the file name that follows an option; false when there is none or it does not fit.
bool TakeFileName(int argc, const char* const* argv, int* i, Words* words) {
  if (*i + 1 >= argc) return false;
  const char* name = argv[++*i];
  words->echo.push_back(name);
  if (std::strlen(name) > kMaxReportFileName) return false;
  words->options.report_file = name;
  return true;
}

void Apply(const OptionRow& row, Options* options) {
  // Where several mode options may stand together (-ql -u), the one RunMode declares first
  // wins, whatever their order on the line.
  if (row.mode != RunMode::kUpdate &&
      (options->mode == RunMode::kUpdate || row.mode < options->mode)) {
    options->mode = row.mode;
  }
  if (row.sets) row.sets(*options);
}

// Reads option words up to the first that is not understood; false there.
bool ReadWords(int argc, const char* const* argv, Words* words) {
  const auto table = OptionTable();
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (!word.empty() && word[0] == '/') word[0] = '-';
    words->echo.push_back(word);
    const OptionRow* row = FindRow(table, word);
    if (!row || row->role == OptionRole::kHelp) return false;
    if (row->role == OptionRole::kIgnored) continue;
    if (row->takes_file_name && !TakeFileName(argc, argv, &i, words)) return false;
    Apply(*row, &words->options);
    words->given.set(static_cast<size_t>(row - table.data()));
  }
  return true;
}

bool Compatible(const Words& words) {
  const auto table = OptionTable();
  for (size_t a = 0; a < table.size(); ++a) {
    if (!words.given[a] || !table[a].combines_with) continue;
    for (size_t b = 0; b < table.size(); ++b) {
      if (words.given[b] && table[b].combines_with && !Combine(table[a], table[b])) return false;
    }
  }
  return true;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  Words words;
  if (argc > 0) words.echo.push_back(argv[0]);
  bool understood = ReadWords(argc, argv, &words);
  // The words after the one that stopped the reading are echoed as given.
  for (int i = static_cast<int>(words.echo.size()); i < argc; ++i) words.echo.push_back(argv[i]);
  ParsedCommandLine parsed;
  parsed.accepted = understood && Compatible(words);
  parsed.options = std::move(words.options);
  parsed.echo = std::move(words.echo);
  return parsed;
}

namespace {

// The program's name as the usage text shows it: no directory; the name's last dot starts the
// extension, which is not shown either.
std::string UsageName(const std::string& program_path) {
  size_t base = 0;
  for (size_t i = 0; i < program_path.size(); ++i) {
    if (platform::IsPathSeparator(program_path[i])) base = i + 1;
  }
  std::string name = program_path.substr(base);
  size_t last_dot = name.rfind('.');
  if (last_dot != std::string::npos) name.erase(last_dot);
  return name;
}

// Every option with a usage line, in brackets; their lines.
void ListOptions(std::string* list, std::string* lines) {
  for (const OptionRow& row : OptionTable()) {
    if (!row.usage_line) continue;
    if (!list->empty()) *list += ' ';
    *list += "[" + WordsOf(row.words).front() + (row.takes_file_name ? " <filename>]" : "]");
    *lines += row.usage_line;
  }
}

}  // namespace

std::string UsageLine(const std::string& program_path) {
  std::string list, lines;
  ListOptions(&list, &lines);
  return FormatText(msg::kUsagePrefix, UsageName(program_path).c_str()) + list;
}

void ShowUsage(UserInterface& ui, const std::string& program_path) {
  std::string list, lines;
  ListOptions(&list, &lines);
  ui.Print(msg::kUsagePrefix, UsageName(program_path).c_str());
  ui.Print(msg::kText, (list + "\n" + msg::kUsageNoOptions + lines).c_str());
}
