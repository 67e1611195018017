#include "app/run_modes.h"

#include <gtest/gtest.h>

#include "app/run_flags.h"
#include "inventory/adapter_inventory.h"
#include "support/ui_capture.h"
#include "update/firmware.h"

namespace {

TEST(ReportOutcome, FirstMatchingOutcomeWins) {
  struct Case {
    uint32_t flags;
    int code;
    const char* message;
  } cases[] = {
      {RunFlags::UpdateFailed | RunFlags::UpdateDone, 0,
       "\nNIC firmware update completed with errors. \n"},
      {RunFlags::ReportOnly | RunFlags::UpdateRecommended | RunFlags::InstalledNewer, 4,
       "\nNIC firmware update is recommended.\n"},
      {RunFlags::ReportOnly | RunFlags::SameVersion, 5,
       "\nNIC firmware update is not recommended.\n"},
      {RunFlags::ReportOnly | RunFlags::InstalledNewer | RunFlags::SameVersion, 6,
       "\nNIC firmware update is not recommended.\n"},
      {RunFlags::UpdateDone, 2, "\nNIC firmware update complete.\n"},
      {0, 3, "\nNo firmware is selected for update.\n"},
  };
  for (const Case& c : cases) {
    test::CapturedUi capture;
    RunFlags::Set(c.flags);
    EXPECT_EQ(ReportOutcome(), c.code);
    EXPECT_EQ(capture.Console(), c.message);
    EXPECT_EQ(capture.Log(), c.message);
  }
}

// Two older ports; the typed answers decide the selection.
class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateUpdaterList();
    ResetDiscovery();
    for (const char* id : {"NIC1", "NIC2"}) {
      AdapterRecord r;
      r.device_id = id;
      r.installed_version.Parse("4.0.516", true);
      r.available_version.Parse("4.0.534", true);
      r.flags = AdapterRecord::kSupported;
      AddAdapter(r);
    }
  }
  void TearDown() override { ResetDiscovery(); }
};

TEST_F(SelectionTest, QuitStopsBeforeTheSecondPort) {
  test::CapturedUi capture("q\ny\n");
  EXPECT_EQ(SelectionPhase(2), 3);
  EXPECT_EQ(AdapterAt(0).flags, 0u);
  EXPECT_EQ(AdapterAt(1).flags, AdapterRecord::kSupported);
  std::string console = capture.Console();
  EXPECT_EQ(console.find("'NIC2'"), std::string::npos);
  EXPECT_EQ(console.substr(console.size() - 37), "\nFirmware upgrade cancelled by User \n");
}

TEST_F(SelectionTest, NextAdapterAnswerMovesOn) {
  test::CapturedUi capture("c\ny\n");
  EXPECT_EQ(SelectionPhase(2), 0);
  EXPECT_FALSE(RunFlags::IsSet(RunFlags::SkipAdapter));
  EXPECT_EQ(AdapterAt(0).flags, AdapterRecord::kSupported);
  EXPECT_EQ(AdapterAt(1).flags, AdapterRecord::kSupported | AdapterRecord::kSelected);
}

TEST_F(SelectionTest, NoForEveryPortSelectsNothing) {
  test::CapturedUi capture("n\nno\n");
  EXPECT_EQ(SelectionPhase(2), 0);
  ApplyPhase(2);  // nothing selected: no tool run
  EXPECT_EQ(ReportOutcome(), 3);
  EXPECT_EQ(capture.Log().find("nxflash.exe"), std::string::npos);
}

}  // namespace
