#pragma once

#include <cstdint>

// Number of supported adapter ports the last discovery found.
uint32_t SupportedAdapterCount();
