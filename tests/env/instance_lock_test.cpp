#include "env/instance_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
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

TEST_F(InstanceLockTest, WithoutLockFileTheRunGoesOn) {
  test::CapturedUi capture;
  EXPECT_TRUE(VerifyInstance(capture.ui()));
  EXPECT_EQ(capture.Log(), "Checking for any other instance of RavAre tool!\n");
  EXPECT_EQ(capture.Console(), "");
}

TEST_F(InstanceLockTest, StaleLockFileIsDeletedWithAWarning) {
  test::CapturedUi capture;
  test::WriteBytes(LockFilePath(), "");
  EXPECT_TRUE(VerifyInstance(capture.ui()));
  EXPECT_FALSE(test::Exists(LockFilePath()));
  EXPECT_EQ(capture.Log(),
            "Checking for any other instance of RavAre tool!\n"
            "Warning: last session did not close gracefully.  Clearing lock.\n");
}

TEST_F(InstanceLockTest, UndeletableLockStopsTheProgram) {
  test::CapturedUi capture;
  ASSERT_TRUE(platform::MakeDirectory(LockFilePath()));
  EXPECT_FALSE(VerifyInstance(capture.ui()));
  EXPECT_EQ(capture.Log(),
            "Checking for any other instance of RavAre tool!\n"
            "Error: last session did not close gracefully.  Unable to clear lock.\n");
}

}  // namespace
