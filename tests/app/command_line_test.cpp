#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The options as one comparable line: mode, -n -e -f -g, -s -y, -debug and the file.
std::string Describe(const Options& o) {
  std::string text = std::to_string(static_cast<int>(o.mode)) + " ";
  for (bool bit : {o.update.report_only, o.update.rewrite, o.update.force, o.update.downgrade,
                   o.answers.silent, o.answers.assume_default, o.debug})
    text += bit ? '1' : '0';
  return text + " " + o.report_file;
}

TEST(CommandLine, EveryOptionWordSetsItsOption) {
  struct Case {
    std::vector<std::string> words;
    const char* options;
  } cases[] = {
      {{}, "0 0000000 "},
      {{"-c"}, "1 0000000 "},
      {{"-d", "r.xml"}, "2 0000000 r.xml"},
      {{"-u", "r.xml"}, "3 0000000 r.xml"},
      {{"-ql"}, "4 0000000 "},
      {{"-v", "r.xml"}, "5 0000000 r.xml"},
      {{"-ql", "-u", "r.xml"}, "3 0000000 r.xml"},  // the apply mode wins
      {{"-n"}, "0 1000000 "},
      {{"-e"}, "0 0100000 "},
      {{"-REWRITE"}, "0 0100000 "},
      {{"-f"}, "0 0010000 "},
      {{"-g"}, "0 0001000 "},
      {{"-Downgrade"}, "0 0001000 "},
      {{"-s"}, "0 0000100 "},
      {{"-y"}, "0 0000010 "},
      {{"-debug"}, "0 0000001 "},
  };
  for (const Case& c : cases) {
    ParsedCommandLine parsed = Parse(c.words);
    EXPECT_TRUE(parsed.accepted) << c.options;
    EXPECT_EQ(Describe(parsed.options), c.options);
  }
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
  EXPECT_FALSE(Accepts({"-x"}));
  EXPECT_FALSE(Accepts({"-NO_OVERWRITE"}));
  // The help word stops parsing, but what came before it stays set: -s -h shows the usage
  // text in the log only.
  ParsedCommandLine parsed = Parse({"-s", "-h", "-c"});
  EXPECT_FALSE(parsed.accepted);
  EXPECT_EQ(Describe(parsed.options), "0 0000100 ");
}

TEST(CommandLine, NoOverwriteWordsAreIgnoredAnywhere) {
  EXPECT_TRUE(Accepts({"x-no_overwritey"}));
  EXPECT_EQ(Describe(Parse({"x-no_overwritey"}).options), "0 0000000 ");
  EXPECT_TRUE(Accepts({"-no_overwrite", "-c"}));
}

TEST(CommandLine, FileNamesFollowTheirOption) {
  EXPECT_FALSE(Accepts({"-d"}));
  EXPECT_EQ(Describe(Parse({"-d", "-s"}).options), "2 0000000 -s");  // -s is the file name
  EXPECT_EQ(Describe(Parse({"-d", "a.xml", "-d", "b.xml"}).options), "2 0000000 b.xml");
  EXPECT_FALSE(Accepts({"-d", "a.xml", "-u", "b.xml"}));
  EXPECT_EQ(Describe(Parse({"-v", "report.xml", "-s"}).options), "5 0000100 report.xml");
}

TEST(CommandLine, FileNamesLongerThan259CharactersAreRejected) {
  EXPECT_EQ(Parse({"-d", std::string(259, 'a')}).options.report_file.size(), 259u);
  ParsedCommandLine parsed = Parse({"-d", std::string(260, 'a')});
  EXPECT_FALSE(parsed.accepted);
  EXPECT_TRUE(parsed.options.report_file.empty());
  EXPECT_FALSE(Accepts({"-u", std::string(300, 'b')}));
}

TEST(CompatibilityMatrix, AllowsOnlyTheListedPairs) {
  const char* allowed[][2] = {{"-d", "-s"},  {"-e", "-g"},  {"-e", "-s"},  {"-e", "-y"},
                              {"-f", "-s"},  {"-f", "-y"},  {"-g", "-s"},  {"-g", "-y"},
                              {"-ql", "-s"}, {"-ql", "-u"}, {"-ql", "-y"}, {"-s", "-u"},
                              {"-s", "-v"},  {"-u", "-y"}};
  const char* options[] = {"-c", "-d", "-e", "-f", "-g", "-n", "-ql", "-s", "-u", "-v", "-y"};
  auto with_argument = [](const char* o) {
    std::vector<std::string> words{o};
    std::string s = o;
    if (s == "-d" || s == "-u" || s == "-v") words.push_back("file.xml");
    return words;
  };
  for (const char* a : options) {
    for (const char* b : options) {
      bool expected = std::string(a) == b;
      for (auto& pair : allowed) {
        if ((std::string(pair[0]) == a && std::string(pair[1]) == b) ||
            (std::string(pair[0]) == b && std::string(pair[1]) == a))
          expected = true;
      }
      std::vector<std::string> words = with_argument(a);
      for (const std::string& w : with_argument(b)) words.push_back(w);
      EXPECT_EQ(Accepts(words), expected) << a << " " << b;
    }
  }
}

TEST(CompatibilityMatrix, DebugCombinesWithEverythingAndTriplesByPairs) {
  EXPECT_TRUE(Accepts({"-debug", "-c"}));
  EXPECT_TRUE(Accepts({"-e", "-g", "-y", "-debug"}));
  EXPECT_TRUE(Accepts({"-u", "x.xml", "-y", "-ql"}));
  EXPECT_FALSE(Accepts({"-u", "x.xml", "-y", "-c"}));
}

TEST(Usage, ShowsTheBaseNameWithoutItsLastExtension) {
  test::CapturedUi capture;
  ShowUsage(capture.ui(), "C:\\tools\\pkg\\Quorvane.exe");
  std::string console = capture.Console();
  EXPECT_EQ(console.rfind("USAGE: Quorvane [-c] [-d <filename>] [-e] [-f] [-g] [-h] [-s] "
                          "[-u <filename>] [-y]\nWith no options",
                          0),
            0u)
      << console;
  EXPECT_NE(console.find("-y  Assume default repsonse for all prompts.\n"), std::string::npos);
  EXPECT_EQ(capture.Log(), console);
}

TEST(Usage, KeepsTheWholeNameWhenTheDotIsInADirectory) {
  test::CapturedUi capture;
  ShowUsage(capture.ui(), "C:\\pkg.v2\\Quorvane");
  EXPECT_EQ(capture.Console().rfind("USAGE: Quorvane [-c]", 0), 0u);
}

}  // namespace
