// A portable reader of the fixed version information in a PE file's VERSIONINFO resource,
// so that version checks of driver files behave the same on every host.
#pragma once

#include <cstdint>
#include <string>

#include "base/expected.h"

namespace platform {

struct PeFixedVersion {
  uint32_t file_most = 0;
  uint32_t file_least = 0;
  uint32_t product_most = 0;
  uint32_t product_least = 0;
};

// Why no version was read (the code of its Error).
enum class PeVersionError { kUnreadable = 1, kNoVersion };

// kNoVersion when the bytes are no PE image or carry no VERSIONINFO resource.
Expected<PeFixedVersion, PeVersionError> ParsePeFixedVersion(const std::string& image);
// kUnreadable when the file cannot be opened.
Expected<PeFixedVersion, PeVersionError> ReadPeFixedVersion(const std::string& path);

}  // namespace platform
