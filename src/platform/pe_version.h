// A portable reader of the fixed version information in a PE file's VERSIONINFO resource,
// so that version checks of driver files behave the same on every host.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct PeFixedVersion {
  uint32_t file_most = 0;
  uint32_t file_least = 0;
  uint32_t product_most = 0;
  uint32_t product_least = 0;
};

// False when the bytes are no PE image or carry no VERSIONINFO resource.
bool ParsePeFixedVersion(const std::string& image, PeFixedVersion* out);
bool ReadPeFixedVersion(const std::string& path, PeFixedVersion* out);

}  // namespace platform
