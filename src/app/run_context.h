// What one run works with, owned by RunProgram and handed to each step.
#pragma once

#include "adapter/inventory/adapter_inventory.h"
#include "adapter/inventory/catalog.h"
#include "adapter/tool/flash_tool.h"
#include "app/options.h"
#include "app/run_record.h"
#include "platform/platform.h"
#include "ui/user_interface.h"

struct RunContext {
  UserInterface& ui;
  FlashTool& tool;
  const Options& options;
  FirmwareCatalog catalog;
  AdapterInventory inventory;         // the ports of the latest discovery
  platform::FileIds protected_files;  // what the -v report may never be
  RunRecord record;                   // what the run's record will say
};
