// The strict reader for the hexadecimal IDs of a discovery report.
#pragma once

#include <cstdint>

#include "base/expected.h"

// Why a text is no ID (the code of ReadStrictHex's Error).
enum class HexError { kNotHex = 1, kOutOfRange };

// Optional leading white space, an optional sign and an optional 0x, then hexadecimal digits
// up to the end of the text. kNotHex for null or empty text and any character left over,
// kOutOfRange for values outside the signed 32-bit range; the limits 7FFFFFFF and -80000000
// are refused too, since a clamping reader cannot tell them from an overflow.
Expected<int32_t, HexError> ReadStrictHex(const char* text);
