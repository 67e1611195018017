#include "app/program.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/run_flags.h"
#include "inventory/adapter_inventory.h"
#include "support/ui_capture.h"

namespace {

TEST(PostRunCheck, WhatEscapesItIsLoggedAndGoesNoFurther) {
  test::CapturedUi capture;
  ResetDiscovery();
  AddAdapter(AdapterRecord());
  EXPECT_NO_THROW(PostRunHardwareFlagsCheck([] { throw std::runtime_error("capture lost"); }));
  EXPECT_NO_THROW(PostRunHardwareFlagsCheck([] { throw 42; }));
  EXPECT_EQ(capture.Log(),
            "Error: the iPE/dPE setting verification ended unexpectedly: capture lost\n"
            "Error: the iPE/dPE setting verification ended unexpectedly.\n");

  RunFlags::Set(RunFlags::ReportOnly);  // -n: no check at all
  PostRunHardwareFlagsCheck([] { throw 42; });
  ResetDiscovery();
}

}  // namespace
