#include "update/firmware.h"

#include <gtest/gtest.h>

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

// Against a package at 4.0.534: the warning shown and what an empty answer means. Silent and
// -y runs with each option are covered end to end.
TEST_F(UpdaterTest, WarningsAndTheEmptyAnswer) {
  const std::string same =
      "*** WARNING *** - Installed firmware is the same version as selected firmware\n";
  const std::string newer =
      "*** WARNING *** - Installed firmware is more recent than selected firmware\n";
  struct Case {
    const char* installed;
    uint32_t flags;
    bool selected;
    std::string shown;  // just before the question
    const char* empty_answer;
  } cases[] = {
      {"4.0.534", 0, false, same, "(n):"},
      {"4.0.534", RunFlags::Rewrite, true, same, "(y):"},
      {"4.0.600", RunFlags::Downgrade, true, newer, "(y):"},
      {"", 0, true, "(v0.0)\n", "(y):"},  // an unread version counts as older
  };
  for (const Case& c : cases) {
    Use(Port(c.installed, "4.0.534"), "\n", c.flags);
    updater_.SelectAdapter();
    EXPECT_EQ((port().flags & AdapterRecord::kSelected) != 0, c.selected) << c.installed;
    std::string console = capture_->Console();
    EXPECT_NE(console.find(c.shown + "Update firmware on 'NIC1'"), std::string::npos) << console;
    EXPECT_NE(console.find(c.empty_answer), std::string::npos) << console;
  }
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
