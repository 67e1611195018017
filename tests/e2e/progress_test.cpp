// The progress line while the tool runs: on a terminal only, erased before the next output,
// never in the log.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/package.h"
#include "support/sim.h"

namespace {

using test::Contains;

class ProgressTest : public test::PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    test::SimPort port;
    port.active_version = "4.0.556";
    test::SimFaults slow;
    slow.delay_ms = 2300;  // each tool call runs past two whole seconds
    test::WriteSimConfig(package_dir(), {port}, slow);
  }
};

TEST_F(ProgressTest, CountsOnATerminalAndIsErasedBeforeTheNextLine) {
  test::ProcessResult r;
  if (!test::RunProcessOnTerminal({test::UtilityPath(), "-y"}, package_dir(), &r))
    GTEST_SKIP() << "this host has no pseudo-terminals";
  EXPECT_EQ(r.exit_code, 2) << r.output;
  const std::string flashing = "\r  flashing 4:0.0 ... 00:01\r  flashing 4:0.0 ... 00:02";
  EXPECT_TRUE(Contains(r.output, flashing)) << r.output;
  const std::string erased =
      "\r" + std::string(std::string("  flashing 4:0.0 ... 00:02").size(), ' ') + "\r";
  EXPECT_TRUE(Contains(r.output, flashing + erased + "MAC 00:0E:1E:00:00:01 upgrade SUCCESS!\n"))
      << r.output;
  EXPECT_TRUE(Contains(r.output, "\r  discovering the adapters ... 00:01"));
  EXPECT_FALSE(Contains(Log(), "flashing"));
  EXPECT_FALSE(Contains(Log(), "\r"));
}

TEST_F(ProgressTest, NeverWhenOutputIsRedirectedOrSilent) {
  test::ProcessResult r = Run({"-y"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_FALSE(Contains(r.output, "\r")) << r.output;
  EXPECT_FALSE(Contains(r.output, "flashing"));
  if (test::RunProcessOnTerminal({test::UtilityPath(), "-s"}, package_dir(), &r)) {
    EXPECT_EQ(r.exit_code, 3);                           // flashed by the run before
    EXPECT_FALSE(Contains(r.output, "\r")) << r.output;  // only the terminal's title is set
    EXPECT_FALSE(Contains(r.output, "discovering"));
  }
}

}  // namespace
