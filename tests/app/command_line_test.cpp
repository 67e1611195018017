#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/option_table.h"
#include "platform/text.h"
#include "support/files.h"
#include "support/ui_capture.h"

namespace {

// Owns a mutable argument vector, as the runtime hands one to main.
struct Args {
  explicit Args(std::vector<std::string> words) : storage(std::move(words)) {
    storage.insert(storage.begin(), "Quorvane.exe");
    for (std::string& s : storage) pointers.push_back(&s[0]);
  }
  int argc() const { return static_cast<int>(pointers.size()); }
  char** argv() { return pointers.data(); }
  std::vector<std::string> storage;
  std::vector<char*> pointers;
};

ParsedCommandLine Parse(std::vector<std::string> words) {
  Args args(std::move(words));
  return ParseCommandLine(args.argc(), args.argv());
}

bool Accepts(std::vector<std::string> words) {
  return Parse(std::move(words)).accepted;
}

// The option words of a row as a command line, with a file name where the row takes one.
std::vector<std::string> WordsFor(const OptionRow& row, const std::string& word) {
  std::vector<std::string> words{word};
  if (row.takes_file_name) words.push_back("r.xml");
  return words;
}

// Whether row names other among the options it combines with.
bool Names(const OptionRow& row, const OptionRow& other) {
  std::vector<std::string> named = WordsOf(row.combines_with);
  return std::count(named.begin(), named.end(), WordsOf(other.words).front()) > 0;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Every word of every row, in any case and with '/' for '-', sets what its row says; and
// each row sets something of its own, so a row copied for a new option and not changed shows.
TEST(CommandLine, EveryOptionWordSetsWhatItsRowSays) {
  EXPECT_EQ(Parse({}).options, Options());
  std::vector<Options> seen{Options()};
  for (const OptionRow& row : OptionTable()) {
    if (row.role != OptionRole::kOption) continue;
    Options expected;
    expected.mode = row.mode;
    if (row.sets) row.sets(expected);
    if (row.takes_file_name) expected.report_file = "r.xml";
    // A field the comparison leaves out shows here too.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), expected), 0) << row.words;
    seen.push_back(expected);
    for (const std::string& word : WordsOf(row.words)) {
      for (const std::string& form : {word, Upper(word), "/" + word.substr(1)}) {
        ParsedCommandLine parsed = Parse(WordsFor(row, form));
        EXPECT_TRUE(parsed.accepted) << form;
        EXPECT_EQ(parsed.options, expected) << form;
      }
    }
  }
  // The apply mode wins over the version-only check, in either order.
  EXPECT_EQ(Parse({"-ql", "-u", "r.xml"}).options.mode, RunMode::kApplyReport);
  EXPECT_EQ(Parse({"-u", "r.xml", "-ql"}).options.mode, RunMode::kApplyReport);
}

// The log echoes an option word's leading '/' as '-', for the words read up to the first not
// understood; file names and the words after it stay as given, and argv is never changed.
TEST(CommandLine, SlashOptionsAreEchoedWithADash) {
  Args args({"/S"});
  ParsedCommandLine parsed = ParseCommandLine(args.argc(), args.argv());
  EXPECT_TRUE(parsed.accepted);
  EXPECT_STREQ(args.argv()[1], "/S");
  EXPECT_TRUE(parsed.options.answers.silent);
  EXPECT_EQ(parsed.echo, (std::vector<std::string>{"Quorvane.exe", "-S"}));

  Args question({"/d", "/r.xml", "/?", "/s", ""});
  parsed = ParseCommandLine(question.argc(), question.argv());
  EXPECT_FALSE(parsed.accepted);
  EXPECT_STREQ(question.argv()[3], "/?");
  EXPECT_EQ(parsed.echo,
            (std::vector<std::string>{"Quorvane.exe", "-d", "/r.xml", "-?", "/s", ""}));
}

TEST(CommandLine, HelpAndUnknownWordsAreRejected) {
  EXPECT_FALSE(Accepts({"-h"}));
  EXPECT_FALSE(Accepts({"?"}));
  EXPECT_FALSE(Accepts({"-HELP"}));
  for (const OptionRow& row : OptionTable()) {
    if (row.role != OptionRole::kHelp) continue;
    for (const std::string& word : WordsOf(row.words)) EXPECT_FALSE(Accepts({word})) << word;
  }
  EXPECT_FALSE(Accepts({"-x"}));
  EXPECT_FALSE(Accepts({"-NO_OVERWRITE"}));
  // The help word stops parsing, but what came before it stays set: -s -h shows the usage
  // text in the log only.
  ParsedCommandLine parsed = Parse({"-s", "-h", "-c"});
  EXPECT_FALSE(parsed.accepted);
  Options silent;
  silent.answers.silent = true;
  EXPECT_EQ(parsed.options, silent);
}

TEST(CommandLine, NoOverwriteWordsAreIgnoredAnywhere) {
  EXPECT_TRUE(Accepts({"x-no_overwritey"}));
  EXPECT_EQ(Parse({"x-no_overwritey"}).options, Options());
  EXPECT_TRUE(Accepts({"-no_overwrite", "-c"}));
}

TEST(CommandLine, FileNamesFollowTheirOption) {
  for (const OptionRow& row : OptionTable()) {
    if (!row.takes_file_name) continue;
    const std::string word = WordsOf(row.words).front();
    EXPECT_FALSE(Accepts({word})) << word;
    ParsedCommandLine parsed = Parse({word, "-s"});  // -s is the file name
    EXPECT_EQ(parsed.options.mode, row.mode) << word;
    EXPECT_EQ(parsed.options.report_file, "-s") << word;
    EXPECT_FALSE(parsed.options.answers.silent) << word;
    EXPECT_EQ(Parse({word, "a.xml", word, "b.xml"}).options.report_file, "b.xml") << word;
  }
  EXPECT_FALSE(Accepts({"-d", "a.xml", "-u", "b.xml"}));
  ParsedCommandLine parsed = Parse({"-v", "report.xml", "-s"});
  EXPECT_TRUE(parsed.options.answers.silent);
  EXPECT_EQ(parsed.options.report_file, "report.xml");
}

TEST(CommandLine, FileNamesLongerThan259CharactersAreRejected) {
  EXPECT_EQ(Parse({"-d", std::string(259, 'a')}).options.report_file.size(), 259u);
  ParsedCommandLine parsed = Parse({"-d", std::string(260, 'a')});
  EXPECT_FALSE(parsed.accepted);
  EXPECT_TRUE(parsed.options.report_file.empty());
  EXPECT_FALSE(Accepts({"-u", std::string(300, 'b')}));
}

TEST(CompatibilityMatrix, AllowsOnlyTheListedPairs) {
  std::vector<std::string> matrix;
  for (const OptionRow& row : OptionTable()) {
    if (row.combines_with) matrix.push_back(WordsOf(row.words).front());
  }
  for (const OptionRow& a : OptionTable()) {
    if (!a.combines_with) continue;
    // A misspelt name would quietly forbid the pair; a pair named under both options would
    // show twice in the documents.
    for (const std::string& named : WordsOf(a.combines_with))
      EXPECT_EQ(std::count(matrix.begin(), matrix.end(), named), 1) << named;
    for (const OptionRow& b : OptionTable())
      EXPECT_FALSE(Names(a, b) && Names(b, a)) << a.words << " " << b.words;
    for (const OptionRow& b : OptionTable()) {
      if (!b.combines_with) continue;
      std::vector<std::string> words = WordsFor(a, WordsOf(a.words).front());
      for (const std::string& w : WordsFor(b, WordsOf(b.words).front())) words.push_back(w);
      EXPECT_EQ(Accepts(words), Combine(a, b)) << a.words << " " << b.words;
    }
  }
}

TEST(CompatibilityMatrix, DebugCombinesWithEverythingAndTriplesByPairs) {
  for (auto pair : {"-s -y", "-e -f", "-g -f", "-c -s", "-n -s"})
    EXPECT_FALSE(Accepts(WordsOf(pair))) << pair;
  EXPECT_TRUE(Accepts({"-debug", "-c"}));
  EXPECT_TRUE(Accepts({"-e", "-g", "-y", "-debug"}));
  EXPECT_TRUE(Accepts({"-u", "x.xml", "-y", "-ql"}));
  EXPECT_FALSE(Accepts({"-u", "x.xml", "-y", "-c"}));
}

// The usage text lists the rows that have a usage line, in the table's order, and each row's
// line starts with its own word, so a row given another's line shows.
TEST(Usage, ShowsTheBaseNameAndEveryUsageLineOfTheTable) {
  test::CapturedUi capture;
  ShowUsage(capture.ui(), "C:\\tools\\pkg\\Quorvane.exe");
  std::string list;
  std::string lines;
  for (const OptionRow& row : OptionTable()) {
    if (!row.usage_line) continue;
    std::string option = WordsOf(row.words).front() + (row.takes_file_name ? " <filename>" : "");
    list += (list.empty() ? "[" : " [") + option + "]";
    EXPECT_EQ(std::string(row.usage_line).rfind(option + "  ", 0), 0u) << row.usage_line;
    lines += row.usage_line;
  }
  EXPECT_EQ(capture.Console(), "USAGE: Quorvane " + list + "\n" + msg::kUsageNoOptions + lines);
  EXPECT_EQ(capture.Log(), capture.Console());
}

TEST(Usage, KeepsTheWholeNameWhenTheDotIsInADirectory) {
  test::CapturedUi capture;
  ShowUsage(capture.ui(), "C:\\pkg.v2\\Quorvane");
  EXPECT_EQ(capture.Console().rfind("USAGE: Quorvane [-c]", 0), 0u);
}

// Every run of blanks and line ends as one space, so that a sentence matches however wrapped.
std::string Flow(const std::string& text) {
  std::string flowed;
  for (char c : text) {
    bool blank = c == ' ' || c == '\n';
    if (!blank)
      flowed += c;
    else if (!flowed.empty() && flowed.back() != ' ')
      flowed += ' ';
  }
  return flowed;
}

// The first cells of the README's option table, "(none)" left out.
std::vector<std::string> ReadmeOptionRows(const std::string& text) {
  std::vector<std::string> rows;
  size_t at = text.find("| option | meaning |\n|---|---|\n");
  if (at == std::string::npos) return rows;
  for (at = text.find('\n', text.find('\n', at) + 1) + 1; text.compare(at, 2, "| ") == 0;
       at = text.find('\n', at) + 1) {
    std::string label = text.substr(at + 2, text.find(" |", at + 2) - at - 2);
    if (label != "(none)") rows.push_back(label);
  }
  return rows;
}

// The option column of the admin guide's table, which starts with its "(none)" row; a line
// that begins further in continues the row above.
std::vector<std::string> GuideOptionRows(const std::string& text) {
  std::vector<std::string> rows;
  size_t at = text.find("\n  (none) ");
  if (at == std::string::npos) return rows;
  ++at;
  size_t column = text.find_first_not_of(' ', at + 8) - at;
  for (at = text.find('\n', at) + 1; at < text.size() && text[at] != '\n';
       at = text.find('\n', at) + 1) {
    std::string line = text.substr(at, text.find('\n', at) - at);
    if (line.size() > 2 && line[2] != ' ')
      rows.push_back(platform::Trim(line.substr(2, column - 2)));
  }
  return rows;
}

// Both documents show the usage line, every option row in the table's order with its words
// and file argument, and the pairs the matrix allows.
TEST(Documentation, OptionTablesFollowTheOptionTable) {
  std::vector<std::string> rows;
  std::string pairs;
  std::string everything;
  for (const OptionRow& row : OptionTable()) {
    if (row.role == OptionRole::kIgnored) continue;
    std::vector<std::string> words = WordsOf(row.words);
    std::string label;
    for (const std::string& word : words) label += (label.empty() ? "" : ", ") + word;
    rows.push_back(label + (row.takes_file_name ? " FILE" : ""));
    if (row.role == OptionRole::kOption && !row.combines_with)
      everything += " " + words.front() + " combines with everything.";
    // Each option's clause names the partners its own row names, so that a new option's
    // pairs make a clause of its own.
    std::vector<std::string> partners = WordsOf(row.combines_with);
    if (partners.empty()) continue;
    pairs += (pairs.empty() ? "" : "; ") + words.front() + " with " + partners.front();
    for (size_t i = 1; i < partners.size(); ++i)
      pairs += (i + 1 < partners.size() ? ", " : " or ") + partners[i];
  }
  std::string compatibility =
      "Only these pairs of different options may be given together: " + pairs + "." + everything;
  test::CapturedUi capture;
  ShowUsage(capture.ui(), "Quorvane.exe");
  std::string console = capture.Console();
  std::string prefix = "USAGE: Quorvane ";
  std::string list = console.substr(prefix.size(), console.find('\n') - prefix.size());

  for (const char* doc : {"README.md", "admin-guide.txt"}) {
    std::string text = test::ReadText(test::Join(test::Join(test::BinaryDir(), "docs"), doc));
    ASSERT_FALSE(text.empty()) << doc;
    EXPECT_EQ(doc[0] == 'R' ? ReadmeOptionRows(text) : GuideOptionRows(text), rows) << doc;
    EXPECT_TRUE(test::Contains(text, "Quorvane.exe " + list)) << doc;
    EXPECT_TRUE(test::Contains(Flow(text), compatibility)) << doc << "\n" << compatibility;
  }
}

}  // namespace
