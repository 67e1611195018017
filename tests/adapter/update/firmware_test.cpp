#include "adapter/update/firmware.h"

#include <gtest/gtest.h>

#include "support/fake_flash_tool.h"
#include "support/ui_capture.h"

namespace {

AdapterRecord Port(const char* installed, const char* available) {
  AdapterRecord a;
  a.device_id = "NIC1";
  a.bdf = "4:0.0";
  a.macaddress = "00:0E:1E:00:00:01";
  a.product_id = "P3 Dual Port";
  a.installed_version.Parse(installed, true);
  a.available_version.Parse(available, true);
  return a;
}

// One port, a captured console with typed answers and the given options.
class UpdaterTest : public ::testing::Test {
 protected:
  void Use(const AdapterRecord& port, const std::string& typed = "",
           const UpdatePolicy& policy = {}) {
    port_ = port;
    policy_ = policy;
    capture_ = std::make_unique<test::CapturedUi>(typed);
  }
  PortSelection Select() { return SelectAdapter(capture_->ui(), policy_, port_); }
  Expected<void, ToolExitCode> Upgrade() {
    OneTimeNotice patience;
    return UpgradeAdapter(capture_->ui(), tool_, port_, patience);
  }

  AdapterRecord port_;
  UpdatePolicy policy_;
  test::FakeFlashTool tool_;
  std::unique_ptr<test::CapturedUi> capture_;
};

// Against a package at 4.0.534: the warning shown and what an empty answer means. Silent and
// -y runs with each option are covered end to end.
TEST_F(UpdaterTest, WarningsAndTheEmptyAnswer) {
  const std::string same =
      "*** WARNING *** - Installed firmware is the same version as selected firmware\n";
  const std::string newer =
      "*** WARNING *** - Installed firmware is more recent than selected firmware\n";
  struct Case {
    const char* installed;
    UpdatePolicy policy;
    bool selected;
    std::string shown;  // just before the question
    const char* empty_answer;
  } cases[] = {
      {"4.0.534", {}, false, same, "(n):"},
      {"4.0.534", {false, true, false, false}, true, same, "(y):"},
      {"4.0.600", {false, false, false, true}, true, newer, "(y):"},
      {"", {}, true, "(v0.0)\n", "(y):"},  // an unread version counts as older
  };
  for (const Case& c : cases) {
    Use(Port(c.installed, "4.0.534"), "\n", c.policy);
    EXPECT_EQ(Select().flash, c.selected) << c.installed;
    std::string console = capture_->Console();
    EXPECT_NE(console.find(c.shown + "Update firmware on 'NIC1'"), std::string::npos) << console;
    EXPECT_NE(console.find(c.empty_answer), std::string::npos) << console;
  }
}

TEST_F(UpdaterTest, SkippedPortsAreLeftAlone) {
  AdapterRecord p = Port("4.0.516", "4.0.534");
  p.action = "skip";
  Use(p, "y\n");
  PortSelection skipped = Select();
  EXPECT_EQ(skipped.answer, Answer::kYes);
  EXPECT_FALSE(skipped.flash);
  EXPECT_TRUE(tool_.calls.empty());
}

TEST_F(UpdaterTest, AnswersChooseThePortAndAFailedFlashReportsTheToolsCode) {
  struct Case {
    const char* typed;
    Answer answer;
    bool selected;
  } cases[] = {
      {"y\n", Answer::kYes, true},
      {"n\n", Answer::kNo, false},
      {"c\n", Answer::kNextAdapter, false},
      {"q\n", Answer::kQuit, false},
  };
  for (const Case& c : cases) {
    Use(Port("4.0.516", "4.0.534"), c.typed);
    PortSelection selection = Select();
    EXPECT_EQ(selection.answer, c.answer) << c.typed;
    EXPECT_EQ(selection.flash, c.selected) << c.typed;
  }

  Use(Port("4.0.516", "4.0.534"));
  tool_.flash_exit["4:0.0"] = 3;
  Expected<void, ToolExitCode> flashed = Upgrade();
  ASSERT_FALSE(flashed);
  EXPECT_EQ(flashed.error().code.value, 3u);
  EXPECT_NE(capture_->Console().find("Command to upgrade firmware failed with internal error "
                                     "code 3\n\tCommand: nxflash.exe -i 4:0.0 -f -a\n"),
            std::string::npos);
}

TEST_F(UpdaterTest, ReportOnlyRecordsTheComparisonWithoutAsking) {
  UpdatePolicy report_only{true, false, false, false};
  VersionFindings found;
  for (const char* installed : {"4.0.516", "4.0.534", "4.0.600"}) {
    Use(Port(installed, "4.0.534"), "y\n", report_only);
    PortSelection selection = Select();
    EXPECT_EQ(selection.answer, Answer::kNo);
    EXPECT_FALSE(selection.flash);
    found |= selection.found;
  }
  EXPECT_TRUE(found.recommended && found.same_version && found.installed_newer);
  EXPECT_EQ(capture_->Log().find("y/n/q/c"), std::string::npos);
}

// The plan holds the ports answered y, in port order; c goes on with the next port, q ends
// the questions with nothing planned, and the apply phase flashes the plan's ports only.
TEST(UpdatePhases, OnlyThePortsAnsweredYesAreFlashed) {
  AdapterInventory ports(4);
  for (size_t function = 0; function < ports.size(); ++function) {
    ports[function].bdf = "4:0." + std::to_string(function);
    ports[function].installed_version = FirmwareVersion(4, 0, 556);
    ports[function].available_version = FirmwareVersion(4, 0, 600);
  }
  test::FakeFlashTool tool;
  test::CapturedUi capture("y\nn\nc\ny\n");
  SelectionResult selection = SelectionPhase(capture.ui(), {}, ports);
  ASSERT_FALSE(selection.quit);
  ASSERT_EQ(selection.asked.size(), 4u);
  EXPECT_EQ(selection.asked[2].answer, Answer::kNextAdapter);
  EXPECT_EQ(selection.plan, (UpdatePlan{0, 3}));
  tool.flash_exit["4:0.3"] = 7;
  UpdateOutcome outcome = ApplyPhase(capture.ui(), tool, ports, selection.plan);
  EXPECT_EQ(tool.calls,
            (std::vector<std::string>{"nxflash.exe -i 4:0.0 -f -a", "nxflash.exe -i 4:0.3 -f -a"}));
  EXPECT_TRUE(outcome.done && outcome.failed && !outcome.interrupted);
  ASSERT_EQ(outcome.flashes.size(), 2u);
  EXPECT_TRUE(outcome.flashes[0].flashed);
  EXPECT_EQ(outcome.flashes[1].port, 3u);
  EXPECT_FALSE(outcome.flashes[1].flashed);
  EXPECT_EQ(outcome.flashes[1].call.exit_code, 7u);

  test::CapturedUi quitting("y\nq\n");
  SelectionResult quit = SelectionPhase(quitting.ui(), {}, ports);
  EXPECT_TRUE(quit.quit && !quit.interrupted);
  EXPECT_TRUE(quit.plan.empty());
  EXPECT_EQ(quit.asked.size(), 2u);
}

}  // namespace
