// Builds a minimal PE image that carries only a VERSIONINFO resource: a stand-in for the
// network driver files whose product version the driver rule reads.
#pragma once

#include <cstdint>
#include <string>

namespace test {

std::string MakeVersionedPe(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision);

}  // namespace test
