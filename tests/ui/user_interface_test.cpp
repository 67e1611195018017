#include "ui/user_interface.h"

#include <gtest/gtest.h>

#include "app/run_flags.h"
#include "support/ui_capture.h"

namespace {

int AskOnce(test::CapturedUi& capture) {
  return capture.ui().Ask("Go?", 0, 0, 0, "y");
}

TEST(Ask, UnderstandsEveryAnswerForm) {
  struct Case {
    const char* typed;
    int answer;
  } cases[] = {
      {"y\n", kAnswerYes},         {"YES\n", kAnswerYes},
      {"Yes\n", kAnswerYes},       {"n\n", kAnswerNo},
      {"no\n", kAnswerNo},         {"nope\n", kAnswerNo},
      {"q\n", kAnswerQuit},        {"QUIT\n", kAnswerQuit},
      {"Q\n", kAnswerQuit},        {"c\n", kAnswerNextAdapter},
      {"C\n", kAnswerNextAdapter}, {"yes please\n", kAnswerNo},
      {"cancel\n", kAnswerNo},     {"quitting\n", kAnswerNo},
      {" y\n", kAnswerNo},         {"y \n", kAnswerNo},
      {"x\n", kAnswerNo},          {"y", kAnswerYes},  // last line without its line break
  };
  for (const Case& c : cases) {
    test::CapturedUi capture(c.typed);
    EXPECT_EQ(AskOnce(capture), c.answer) << c.typed;
  }
}

TEST(Ask, EmptyLineGivesTheEmptyLineAnswer) {
  test::CapturedUi capture("\n\n");
  EXPECT_EQ(capture.ui().Ask("Go?", 1, 0, kAnswerYes, "y"), kAnswerYes);
  EXPECT_EQ(capture.ui().Ask("Go?", 0, 0, kAnswerNo, "n"), kAnswerNo);
}

TEST(Ask, PromptAndAnswerAreTextNotFormats) {
  test::CapturedUi capture("%s%n%d\n");
  EXPECT_EQ(capture.ui().Ask("Update 100% of '%s'?", 0, 0, 0, "y"), kAnswerNo);
  EXPECT_EQ(capture.Console(), "Update 100% of '%s'? y/n/q/c (y):");
  EXPECT_EQ(capture.Log(), "Update 100% of '%s'? y/n/q/c (y):%s%n%d\n");
}

TEST(Ask, EndOfInputAnswersNoEveryTime) {
  test::CapturedUi capture("");
  EXPECT_EQ(AskOnce(capture), kAnswerNo);
  EXPECT_EQ(AskOnce(capture), kAnswerNo);
  const std::string once = "Go? y/n/q/c (y):Unknown input problem!\nQuit...\n";
  EXPECT_EQ(capture.Console(), once + once);
  EXPECT_EQ(capture.Log(), once + once);
}

TEST(Ask, LongLineIsReadInTwoParts) {
  std::string line(100, 'y');
  test::CapturedUi capture(line + "\n");
  EXPECT_EQ(AskOnce(capture), kAnswerNo);  // the first 79 characters
  EXPECT_EQ(AskOnce(capture), kAnswerNo);  // the rest, at once
  EXPECT_EQ(capture.Log(),
            "Go? y/n/q/c (y):" + line.substr(0, 79) + "Go? y/n/q/c (y):" + line.substr(79) + "\n");
}

TEST(Ask, SilentRunsAnswerWithoutAsking) {
  test::CapturedUi capture("n\n");
  capture.ui().SetModes(true, false, false);
  EXPECT_EQ(capture.ui().Ask("Go?", kAnswerNo, kAnswerYes, kAnswerNo, "n"), kAnswerNo);
  RunFlags::Set(RunFlags::Force);
  EXPECT_EQ(capture.ui().Ask("Go?", kAnswerNo, kAnswerYes, kAnswerNo, "n"), kAnswerYes);
  EXPECT_EQ(capture.Console(), "");
  EXPECT_EQ(capture.Log(), "");
}

TEST(Ask, AssumeDefaultTakesTheSilentAnswer) {
  test::CapturedUi capture("y\n");
  capture.ui().SetModes(false, false, true);
  RunFlags::Set(RunFlags::Force);  // only silent runs use the forced answer
  EXPECT_EQ(capture.ui().Ask("Go?", kAnswerNo, kAnswerYes, kAnswerYes, "n"), kAnswerNo);
  EXPECT_EQ(capture.Console(), "");
}

TEST(Channels, EachWritesWhereItShould) {
  test::CapturedUi capture;
  capture.ui().Print("print %d\n", 1);
  capture.ui().Display("display\n");
  capture.ui().Write("write\n");
  capture.ui().Trace("hidden trace\n");
  capture.ui().SetModes(false, true, false);
  capture.ui().Trace("trace\n");
  capture.ui().SetModes(true, true, false);  // silent: nothing on the console, no trace
  capture.ui().Print("silent print\n");
  capture.ui().Display("silent display\n");
  capture.ui().Trace("silent trace\n");
  EXPECT_EQ(capture.Console(), "print 1\ndisplay\n");
  EXPECT_EQ(capture.Log(), "print 1\nwrite\ntrace\nsilent print\n");
}

}  // namespace
