#include "adapter/env/instance_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/files.h"
#include "support/process.h"
#include "support/ui_capture.h"

namespace {

// Points the temporary directory of this process at a fresh folder for one test.
class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMP");
    const char* tmpdir = std::getenv("TMPDIR");
    saved_tmp_ = tmp ? tmp : "";
    saved_tmpdir_ = tmpdir ? tmpdir : "";
    test::SetEnvironment("TMP", temp_.path());
    test::SetEnvironment("TMPDIR", temp_.path());
  }
  void TearDown() override {
    test::SetEnvironment("TMP", saved_tmp_);
    test::SetEnvironment("TMPDIR", saved_tmpdir_);
  }

  test::TempDir temp_;
  std::string saved_tmp_;
  std::string saved_tmpdir_;
};

// The processes of a host where no flash tool runs, whatever runs on the test's own host.
platform::SystemResult<std::vector<std::string>> NoToolRuns() {
  return std::vector<std::string>{"init", "quorvane"};
}

TEST_F(InstanceLockTest, WithoutLockFileTheRunGoesOn) {
  test::CapturedUi capture;
  EXPECT_TRUE(VerifyInstance(capture.ui(), NoToolRuns));
  EXPECT_EQ(capture.Log(), "Checking for any other instance of RavAre tool!\n");
  EXPECT_EQ(capture.Console(), "");
}

TEST_F(InstanceLockTest, StaleLockFileIsDeletedWithAWarning) {
  test::CapturedUi capture;
  test::WriteBytes(*LockFilePath(), "");
  EXPECT_TRUE(VerifyInstance(capture.ui(), NoToolRuns));
  EXPECT_FALSE(test::Exists(*LockFilePath()));
  EXPECT_EQ(capture.Log(),
            "Checking for any other instance of RavAre tool!\n"
            "Warning: last session did not close gracefully.  Clearing lock.\n");
}

TEST_F(InstanceLockTest, UndeletableLockStopsTheProgram) {
  test::CapturedUi capture;
  ASSERT_TRUE(platform::MakeDirectory(*LockFilePath()));
  EXPECT_FALSE(VerifyInstance(capture.ui(), NoToolRuns));
  EXPECT_EQ(capture.Log(),
            "Checking for any other instance of RavAre tool!\n"
            "Error: last session did not close gracefully.  Unable to clear lock.\n");
}

// A tool that ends while the processes are listed takes its lock file with it: nothing is
// left to clear, and nothing failed.
TEST_F(InstanceLockTest, LockFileGoneDuringTheScanIsNoFailure) {
  test::CapturedUi capture;
  test::WriteBytes(*LockFilePath(), "");
  auto tool_ends = [] {
    test::RemoveIfPresent(*LockFilePath());
    return NoToolRuns();
  };
  EXPECT_TRUE(VerifyInstance(capture.ui(), tool_ends));
  EXPECT_EQ(capture.Log(), "Checking for any other instance of RavAre tool!\n");
}

// The utility's own lock: held by another run whatever that run's temporary directory, or
// not to be had at all, and each told as what it is.
TEST_F(InstanceLockTest, UtilityLockHeldOrUnavailableIsToldApart) {
  const std::string name = "Quorvane-test-lock";
  platform::InstanceLock first;
  ASSERT_TRUE(first.Take(name));
  test::TempDir other_temp;
  test::SetEnvironment("TMP", other_temp.path());
  test::SetEnvironment("TMPDIR", other_temp.path());

  test::CapturedUi held;
  platform::InstanceLock second;
  EXPECT_FALSE(TakeInstanceLock(&second, held.ui(), name));
  // The holder is told, never as a flash tool that is running.
  EXPECT_TRUE(test::Contains(held.Log(), "single-instance lock")) << held.Log();
  EXPECT_FALSE(test::Contains(held.Log(), "RavAre tool")) << held.Log();

  test::CapturedUi unavailable;
  platform::InstanceLock third;
  EXPECT_FALSE(TakeInstanceLock(&third, unavailable.ui(), std::string(300, 'x')));
  EXPECT_EQ(unavailable.Log(),
            "Error: the utility's single-instance lock cannot be taken. Cannot proceed.\n");
}

}  // namespace
