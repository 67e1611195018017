#include "app/program.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/fake_flash_tool.h"
#include "support/ui_capture.h"

namespace {

TEST(PostRunCheck, WhatEscapesItIsLoggedAndGoesNoFurther) {
  test::CapturedUi capture;
  test::FakeFlashTool tool;
  Options options;
  RunContext run{capture.ui(), tool, options, {}, {AdapterRecord()}, {}, {}};
  EXPECT_NO_THROW(PostRunHardwareFlagsCheck(
      run, [](RunContext&) { throw std::runtime_error("capture lost"); }));
  EXPECT_NO_THROW(PostRunHardwareFlagsCheck(run, [](RunContext&) { throw 42; }));
  const std::string logged =
      "Error: the iPE/dPE setting verification ended unexpectedly: capture lost\n"
      "Error: the iPE/dPE setting verification ended unexpectedly.\n";
  EXPECT_EQ(capture.Log(), logged);

  options.update.report_only = true;  // -n: no check at all
  PostRunHardwareFlagsCheck(run, [](RunContext&) { throw 42; });
  EXPECT_EQ(capture.Log(), logged);
}

}  // namespace
