// The strict reader for the hexadecimal IDs of a discovery report.
#pragma once

#include <cstdint>
#include <optional>

// Optional leading white space, an optional sign and an optional 0x, then hexadecimal digits
// up to the end of the text. Nothing for null or empty text, any character left over, and
// values outside the signed 32-bit range; the limits 7FFFFFFF and -80000000 are refused too,
// since a clamping reader cannot tell them from an overflow.
std::optional<int32_t> ReadStrictHex(const char* text);
