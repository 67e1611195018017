#include "update/firmware.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/run_flags.h"
#include "inventory/adapter_inventory.h"
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
  a.flags = AdapterRecord::kSupported;
  return a;
}

// One port in the inventory, a captured console with typed answers, fresh run flags.
class UpdaterTest : public ::testing::Test {
 protected:
  void Use(const AdapterRecord& port, const std::string& typed = "", uint32_t flags = 0) {
    capture_.reset();  // the old capture uninstalls its UserInterface first
    capture_.reset(new test::CapturedUi(typed));
    RunFlags::Set(flags);
    ResetDiscovery();
    AddAdapter(port);
    SetCurrentAdapterIndex(0);
  }
  void TearDown() override { ResetDiscovery(); }
  AdapterRecord& port() { return AdapterAt(0); }

  std::unique_ptr<test::CapturedUi> capture_;
  VAroruFirmware updater_;
};

TEST_F(UpdaterTest, QuestionNamesThePortAndBothVersions) {
  Use(Port("4.0.516", "4.0.534"));
  std::ostringstream text;
  updater_.WriteUpdatePrompt(text);
  EXPECT_EQ(text.str(), "Update firmware on 'NIC1' (4:0.0) : \nFrom ROM 4.0.516 to 4.0.534? ");
}

TEST_F(UpdaterTest, OlderFirmwareDefaultsToYes) {
  Use(Port("4.0.516", "4.0.534"), "\n");
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, AdapterRecord::kSupported | AdapterRecord::kSelected);
  EXPECT_EQ(capture_->Console(),
            "Found P3 Dual Port MAC: 00:0E:1E:00:00:01 (v4.0.516)\n"
            "Update firmware on 'NIC1' (4:0.0) : \nFrom ROM 4.0.516 to 4.0.534?  y/n/q/c (y):");
}

TEST_F(UpdaterTest, SameVersionWarnsAndDefaultsToNoUnlessRewriteOrForce) {
  const std::string warning =
      "*** WARNING *** - Installed firmware is the same version as selected firmware\n";
  Use(Port("4.0.534", "4.0.534"), "\n");
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, 0u);
  EXPECT_NE(capture_->Console().find(warning + "Update firmware"), std::string::npos);
  EXPECT_NE(capture_->Console().find("(n):"), std::string::npos);

  for (uint32_t flag : {RunFlags::Rewrite, RunFlags::Force}) {
    Use(Port("4.0.534", "4.0.534"), "\n", flag);
    updater_.SelectAdapter();
    EXPECT_TRUE(port().flags & AdapterRecord::kSelected);
    EXPECT_NE(capture_->Console().find("(y):"), std::string::npos);
  }
}

TEST_F(UpdaterTest, NewerFirmwareWarnsAndDefaultsToNoUnlessDowngradeOrForce) {
  const std::string warning =
      "*** WARNING *** - Installed firmware is more recent than selected firmware\n";
  Use(Port("4.0.600", "4.0.534"), "\n");
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, 0u);
  EXPECT_NE(capture_->Console().find(warning), std::string::npos);

  Use(Port("4.0.600", "4.0.534"), "\n", RunFlags::Downgrade);
  updater_.SelectAdapter();
  EXPECT_TRUE(port().flags & AdapterRecord::kSelected);
  // -e does not allow a downgrade.
  Use(Port("4.0.600", "4.0.534"), "\n", RunFlags::Rewrite);
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, 0u);
}

TEST_F(UpdaterTest, SilentRunsAnswerByTheTable) {
  struct Case {
    const char* installed;
    uint32_t flags;
    bool selected;
  } cases[] = {
      {"4.0.516", RunFlags::Silent, true},
      {"4.0.534", RunFlags::Silent, false},
      {"4.0.600", RunFlags::Silent, false},
      {"4.0.534", RunFlags::Silent | RunFlags::Force, true},
      {"4.0.600", RunFlags::Silent | RunFlags::Force, true},
      {"4.0.600", RunFlags::Silent | RunFlags::Downgrade, true},
  };
  for (const Case& c : cases) {
    Use(Port(c.installed, "4.0.534"), "", c.flags);
    capture_->ui().SetModes(true, false, false);
    updater_.SelectAdapter();
    EXPECT_EQ((port().flags & AdapterRecord::kSelected) != 0, c.selected) << c.installed;
    EXPECT_EQ(capture_->Console(), "");
  }
}

TEST_F(UpdaterTest, AnswersSetTheirBits) {
  Use(Port("4.0.516", "4.0.534"), "c\n");
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, AdapterRecord::kSupported);
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::SkipAdapter));

  Use(Port("4.0.516", "4.0.534"), "q\n");
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, 0u);
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::UserCancelled));
  EXPECT_FALSE(RunFlags::IsSet(RunFlags::SkipAdapter));
}

TEST_F(UpdaterTest, ReportOnlyAsksNothingAndCollectsComparisons) {
  Use(Port("4.0.516", "4.0.534"), "y\n", RunFlags::ReportOnly);
  updater_.SelectAdapter();
  AddAdapter(Port("4.0.600", "4.0.534"));
  SetCurrentAdapterIndex(1);
  updater_.SelectAdapter();
  EXPECT_EQ(port().flags, 0u);
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::UpdateRecommended));
  EXPECT_TRUE(RunFlags::IsSet(RunFlags::InstalledNewer));
  EXPECT_FALSE(RunFlags::IsSet(RunFlags::SameVersion));
  EXPECT_EQ(capture_->Console().find("y/n/q/c"), std::string::npos);
}

TEST_F(UpdaterTest, UnreadInstalledVersionCountsAsOlder) {
  AdapterRecord p = Port("", "4.0.534");
  Use(p, "\n");
  updater_.SelectAdapter();
  EXPECT_TRUE(port().flags & AdapterRecord::kSelected);
  EXPECT_NE(capture_->Console().find("(v0.0)"), std::string::npos);
}

TEST_F(UpdaterTest, UnsupportedOrUnselectedPortsAreLeftAlone) {
  AdapterRecord p = Port("4.0.516", "4.0.534");
  p.flags = 0;
  Use(p, "y\n");
  updater_.SelectAdapter();
  updater_.UpgradeAdapter();
  EXPECT_EQ(capture_->Console(), "");

  p.flags = AdapterRecord::kSupported | AdapterRecord::kSelected;
  p.action = "skip";
  Use(p);
  updater_.UpgradeAdapter();
  EXPECT_EQ(capture_->Console(), "");
  EXPECT_EQ(capture_->Log(), "");
}

}  // namespace
