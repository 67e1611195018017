// The PE version reader over arbitrary bytes: driver files are untrusted, so no image may
// crash it or make it read outside the bytes, and the numbers it returns must stand in the
// image after a fixed-information signature.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/pe_version.h"

namespace {

uint32_t U32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool HoldsFixedInfo(const uint8_t* data, size_t size, const platform::PeFixedVersion& v) {
  for (size_t at = 0; at + 24 <= size; ++at) {
    const uint8_t* p = data + at;
    if (U32(p) == 0xFEEF04BD && U32(p + 8) == v.file_most && U32(p + 12) == v.file_least &&
        U32(p + 16) == v.product_most && U32(p + 20) == v.product_least) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string image(reinterpret_cast<const char*>(data), size);
  Expected<platform::PeFixedVersion, platform::PeVersionError> version =
      platform::ParsePeFixedVersion(image);
  if (version && !HoldsFixedInfo(data, size, *version)) {
    __builtin_trap();
  }
  return 0;
}
