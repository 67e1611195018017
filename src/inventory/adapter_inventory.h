// The supported adapter ports a discovery found, in report order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inventory/firmware_version.h"

struct AdapterRecord {
  enum Flag : uint32_t { kSupported = 0x1, kSelected = 0x2 };

  std::string device_id;
  std::string item_version;
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
  std::string image_file;
  int32_t wol = 0;
  int32_t pxe = 0;
  int32_t ncsi = 0;
  uint32_t flags = 0;
  std::string firmware_id;
  std::string active_version;
  std::string action;
  int32_t duration = 0;
  bool shared = false;
  std::string message;
};

using AdapterInventory = std::vector<AdapterRecord>;
