#include "xml/xml_wide.h"

#include <cstdint>

namespace {

uint32_t UnitAt(const unsigned char* data, size_t i) {
  return static_cast<uint32_t>(data[2 * i]) | (static_cast<uint32_t>(data[2 * i + 1]) << 8);
}

bool IsHighSurrogate(uint32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// Decodes the code point at unit i and sets *units to the units it took.
uint32_t CodePointAt(const unsigned char* data, size_t i, size_t* units) {
  uint32_t u = UnitAt(data, i);
  *units = 1;
  if (IsHighSurrogate(u)) {
    uint32_t next = UnitAt(data, i + 1);
    if (IsLowSurrogate(next)) {
      *units = 2;
      return 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
    }
    return 0xFFFD;
  }
  return IsLowSurrogate(u) ? 0xFFFD : u;
}

void PutUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  // The lead byte carries the length in its high bits, each continuation byte six bits.
  int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[continuations] | (c >> (6 * continuations)));
  for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
  }
}

}  // namespace

bool LooksLikeUtf16(const unsigned char* data, size_t size) {
  if (size < 2) return false;
  if (data[0] == 0xFF && data[1] == 0xFE) return true;
  // Narrow text holds no NUL bytes; ASCII stored in 16-bit units has one in every unit's
  // high byte.
  size_t units = size / 2;
  size_t zero_high = 0;
  size_t zero_low = 0;
  for (size_t i = 0; i < units; ++i) {
    unsigned char low = data[2 * i];
    unsigned char high = data[2 * i + 1];
    if (high == 0 && low != 0) ++zero_high;
    if (low == 0 && high != 0) ++zero_low;
  }
  return zero_high * 2 > units && zero_low * 4 < zero_high;
}

std::string Utf16ToUtf8(const unsigned char* data) {
  std::string text;
  size_t units = 0;
  for (size_t i = 0; UnitAt(data, i) != 0; i += units) PutUtf8(text, CodePointAt(data, i, &units));
  return text;
}
