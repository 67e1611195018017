#include "adapter/inventory/hex_reader.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Expected<int32_t, HexError> ReadStrictHex(const char* text) {
  const Error<HexError> not_hex = MakeError(HexError::kNotHex);
  if (!text) return not_hex;
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // A 0x not followed by a digit is a lone 0 with the x left over.
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  if (HexDigit(*p) < 0) return not_hex;

  // Accumulation stops growing past the range, so any number of digits is safe.
  constexpr int64_t kCap = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; HexDigit(*p) >= 0; ++p) {
    magnitude = magnitude * 16 + HexDigit(*p);
    if (magnitude > kCap) magnitude = kCap;
  }
  if (*p != '\0') return not_hex;
  if (negative ? magnitude >= kCap : magnitude >= INT32_MAX)
    return MakeError(HexError::kOutOfRange);
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}
