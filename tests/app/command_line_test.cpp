#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_flags.h"
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

// Parses and checks like the start of a run; true when the line is accepted.
bool Accepts(std::vector<std::string> words) {
  RunFlags::Reset();
  Args args(std::move(words));
  return ParseCommandLine(args.argc(), args.argv()) && CheckOptionCompatibility();
}

TEST(CommandLine, EveryOptionWordSetsItsBit) {
  struct Case {
    const char* word;
    uint32_t bit;
  } cases[] = {
      {"-c", RunFlags::ShowInstalled},
      {"-debug", RunFlags::Debug},
      {"-e", RunFlags::Rewrite},
      {"-REWRITE", RunFlags::Rewrite},
      {"-f", RunFlags::Force},
      {"-g", RunFlags::Downgrade},
      {"-Downgrade", RunFlags::Downgrade},
      {"-n", RunFlags::ReportOnly},
      {"-ql", RunFlags::VersionOnlyCheck},
      {"-s", RunFlags::Silent},
      {"-y", RunFlags::AssumeDefault},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Accepts({c.word})) << c.word;
    EXPECT_EQ(RunFlags::Value(), c.bit) << c.word;
  }
  RunFlags::Reset();
}

TEST(CommandLine, SlashOptionsAreRewrittenInPlace) {
  RunFlags::Reset();
  Args args({"/S"});
  EXPECT_TRUE(ParseCommandLine(args.argc(), args.argv()));
  EXPECT_STREQ(args.argv()[1], "-S");
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::Silent));

  Args question({"/?"});
  EXPECT_FALSE(ParseCommandLine(question.argc(), question.argv()));
  EXPECT_STREQ(question.argv()[1], "-?");
  RunFlags::Reset();
}

TEST(CommandLine, HelpAndUnknownWordsAreRejected) {
  EXPECT_FALSE(Accepts({"-h"}));
  EXPECT_FALSE(Accepts({"?"}));
  EXPECT_FALSE(Accepts({"-HELP"}));
  EXPECT_FALSE(Accepts({"-x"}));
  EXPECT_FALSE(Accepts({"-NO_OVERWRITE"}));
  // The help word stops parsing, but what came before it stays set.
  EXPECT_FALSE(Accepts({"-c", "-h"}));
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::ShowInstalled));
  RunFlags::Reset();
}

TEST(CommandLine, NoOverwriteWordsAreIgnoredAnywhere) {
  EXPECT_TRUE(Accepts({"x-no_overwritey"}));
  EXPECT_EQ(RunFlags::Value(), 0u);
  EXPECT_TRUE(Accepts({"-no_overwrite", "-c"}));
}

TEST(CommandLine, FileNamesFollowTheirOption) {
  EXPECT_FALSE(Accepts({"-d"}));
  EXPECT_TRUE(Accepts({"-d", "-s"}));  // -s is the file name here
  EXPECT_EQ(ReportFileName(), "-s");
  EXPECT_FALSE(RunFlags::IsSet(RunFlags::Silent));

  EXPECT_TRUE(Accepts({"-d", "a.xml", "-d", "b.xml"}));
  EXPECT_EQ(ReportFileName(), "b.xml");
  EXPECT_FALSE(Accepts({"-d", "a.xml", "-u", "b.xml"}));
  EXPECT_TRUE(Accepts({"-v", "report.xml", "-s"}));
  EXPECT_EQ(ReportFileName(), "report.xml");
}

TEST(CommandLine, FileNamesLongerThan259CharactersAreRejected) {
  EXPECT_TRUE(Accepts({"-d", std::string(259, 'a')}));
  EXPECT_EQ(ReportFileName().size(), 259u);
  EXPECT_FALSE(Accepts({"-d", std::string(260, 'a')}));
  EXPECT_TRUE(ReportFileName().empty());
  EXPECT_FALSE(Accepts({"-u", std::string(300, 'b')}));
  RunFlags::Reset();
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
  RunFlags::Reset();
}

TEST(CompatibilityMatrix, DebugCombinesWithEverythingAndTriplesByPairs) {
  EXPECT_TRUE(Accepts({"-debug", "-c"}));
  EXPECT_TRUE(Accepts({"-e", "-g", "-y", "-debug"}));
  EXPECT_TRUE(Accepts({"-u", "x.xml", "-y", "-ql"}));
  EXPECT_FALSE(Accepts({"-u", "x.xml", "-y", "-c"}));
  RunFlags::Reset();
}

TEST(Usage, ShowsTheBaseNameWithoutItsLastExtension) {
  test::CapturedUi capture;
  std::string path = "C:\\tools\\pkg\\Quorvane.exe";
  ShowUsage(&path[0]);
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
  std::string path = "C:\\pkg.v2\\Quorvane";
  ShowUsage(&path[0]);
  EXPECT_EQ(capture.Console().rfind("USAGE: Quorvane [-c]", 0), 0u);
}

}  // namespace
