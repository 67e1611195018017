#include "ui/user_interface.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/ui_capture.h"

namespace {

Answer AskOnce(test::CapturedUi& capture) {
  return capture.ui().Ask("Go?", QuestionDefaults{});
}

TEST(Ask, UnderstandsEveryAnswerForm) {
  struct Case {
    const char* typed;
    Answer answer;
  } cases[] = {
      {"y\n", Answer::kYes},         {"YES\n", Answer::kYes},
      {"Yes\n", Answer::kYes},       {"n\n", Answer::kNo},
      {"no\n", Answer::kNo},         {"nope\n", Answer::kNo},
      {"q\n", Answer::kQuit},        {"QUIT\n", Answer::kQuit},
      {"Q\n", Answer::kQuit},        {"c\n", Answer::kNextAdapter},
      {"C\n", Answer::kNextAdapter}, {"yes please\n", Answer::kNo},
      {"cancel\n", Answer::kNo},     {"quitting\n", Answer::kNo},
      {" y\n", Answer::kNo},         {"y \n", Answer::kNo},
      {"x\n", Answer::kNo},          {"y", Answer::kYes},  // last line without its line break
  };
  for (const Case& c : cases) {
    test::CapturedUi capture(c.typed);
    EXPECT_EQ(AskOnce(capture), c.answer) << c.typed;
  }
}

TEST(Ask, EmptyLineGivesTheEmptyLineAnswer) {
  test::CapturedUi capture("\n\n");
  EXPECT_EQ(capture.ui().Ask("Go?", {Answer::kNo, Answer::kYes, "y"}), Answer::kYes);
  EXPECT_EQ(capture.ui().Ask("Go?", {Answer::kYes, Answer::kNo, "n"}), Answer::kNo);
}

TEST(Ask, PromptAndAnswerAreTextNotFormats) {
  test::CapturedUi capture("%s%n%d\n");
  EXPECT_EQ(capture.ui().Ask("Update 100% of '%s'?", QuestionDefaults{}), Answer::kNo);
  EXPECT_EQ(capture.Console(), "Update 100% of '%s'? y/n/q/c (y):");
  EXPECT_EQ(capture.Log(), "Update 100% of '%s'? y/n/q/c (y):%s%n%d\n");
}

TEST(Ask, EndOfInputAnswersNoEveryTime) {
  test::CapturedUi capture("");
  EXPECT_EQ(AskOnce(capture), Answer::kNo);
  EXPECT_EQ(AskOnce(capture), Answer::kNo);
  const std::string once = "Go? y/n/q/c (y):Unknown input problem!\nQuit...\n";
  EXPECT_EQ(capture.Console(), once + once);
  EXPECT_EQ(capture.Log(), once + once);
}

TEST(Ask, OneLineAnswersOneQuestion) {
  // The first 79 characters decide; the rest of the line is dropped, not read as the next
  // answer. A CR before the line break goes with it.
  std::string line(79, 'n');
  test::CapturedUi capture(line + "y\ny\r\n");
  EXPECT_EQ(AskOnce(capture), Answer::kNo);
  EXPECT_EQ(AskOnce(capture), Answer::kYes);
  EXPECT_EQ(AskOnce(capture), Answer::kNo);  // end of input
  EXPECT_EQ(capture.Log().rfind("Go? y/n/q/c (y):" + line + "\nGo? y/n/q/c (y):y\n", 0), 0u)
      << capture.Log();
}

TEST(Ask, SilentAndAssumeDefaultRunsTakeTheSilentAnswerWithoutAsking) {
  for (bool silent : {true, false}) {
    UiSettings modes;
    modes.answers = {silent, !silent};
    test::CapturedUi capture("y\n", modes);
    capture.ui().EndStartUp();
    EXPECT_EQ(capture.ui().Ask("Go?", {Answer::kNo, Answer::kYes, "n"}), Answer::kNo);
    EXPECT_EQ(capture.Console(), "");
    EXPECT_EQ(capture.Log(), "");
  }
}

// The command line's modes apply once start-up has ended: until then every line reaches the
// console and no trace is written.
TEST(Channels, EachWritesWhereItShould) {
  test::CapturedUi plain;
  plain.ui().EndStartUp();
  plain.ui().Print("print %d\n", 1);
  plain.ui().Display("display\n");
  plain.ui().Write("write\n");
  plain.ui().Trace("hidden trace\n");
  EXPECT_EQ(plain.Console(), "print 1\ndisplay\n");
  EXPECT_EQ(plain.Log(), "print 1\nwrite\n");

  UiSettings modes;
  modes.debug = true;
  test::CapturedUi debug("", modes);
  debug.ui().Write("start-up\n");
  debug.ui().Trace("start-up trace\n");
  debug.ui().EndStartUp();
  debug.ui().Trace("trace\n");
  EXPECT_EQ(debug.Log(), "start-up\ntrace\n");

  modes.answers.silent = true;  // silent: nothing on the console, no trace
  test::CapturedUi silent("", modes);
  silent.ui().Print("start-up print\n");
  silent.ui().EndStartUp();
  silent.ui().Print("silent print\n");
  silent.ui().Display("silent display\n");
  silent.ui().Trace("silent trace\n");
  EXPECT_EQ(silent.Console(), "start-up print\n");
  EXPECT_EQ(silent.Log(), "start-up print\nsilent print\n");
}

// A log that stops taking lines mid-run (a full disk) is told on standard error, once.
TEST(Channels, ALogThatCannotBeWrittenIsToldOnce) {
  if (!test::Exists("/dev/full")) GTEST_SKIP() << "this host has no device that is always full";
  test::TempDir dir;
  std::FILE* errors = std::fopen(dir.File("errors.txt").c_str(), "w");
  ASSERT_NE(errors, nullptr);
  {
    UiSettings settings;
    settings.log_path = "/dev/full";
    settings.errors = errors;
    settings.answers.silent = true;  // nothing on the console, which is errors here too
    settings.output = errors;
    UserInterface ui(std::move(settings));
    ui.EndStartUp();
    ui.Write("first\n");
    ui.Print("second\n");
  }
  std::fclose(errors);
  EXPECT_EQ(test::ReadText(dir.File("errors.txt")),
            "Error: the log file /dev/full cannot be written; the rest of this run is not "
            "recorded.\n");
}

}  // namespace
