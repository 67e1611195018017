// The supported adapter ports a discovery found, in report order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "adapter/inventory/firmware_version.h"

struct AdapterRecord {
  // What discovery found; what the run decides about a port travels in its update plan.
  std::string device_id;
  std::string bdf;  // bus:device.function
  int32_t venid = 0;
  int32_t devid = 0;
  int32_t subvenid = 0;
  int32_t subdevid = 0;
  std::string pci_id;
  std::string macaddress;
  FirmwareVersion installed_version;
  FirmwareVersion available_version;
  std::string product_id;
  std::string active_version;
  std::string action;
};

using AdapterInventory = std::vector<AdapterRecord>;
