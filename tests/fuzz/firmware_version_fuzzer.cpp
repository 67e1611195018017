// Firmware version texts and report IDs as the catalog and the flash tool write them. The
// input holds two texts split at the first NUL. Properties: a parsed version reads back from
// its own text, comparison is antisymmetric, a copy compares equal, and the strict
// hexadecimal reader accepts exactly what the C library reads whole within its range.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "adapter/inventory/firmware_version.h"
#include "adapter/inventory/hex_reader.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool SameNumbers(const FirmwareVersion& a, const FirmwareVersion& b) {
  return a.major() == b.major() && a.minor() == b.minor() && a.build() == b.build() &&
         a.three_part() == b.three_part();
}

FirmwareVersion Parsed(const std::string& text, bool three_part) {
  FirmwareVersion version;
  version.Parse(text.c_str(), three_part);
  Check(std::strlen(version.text()) < 64);
  FirmwareVersion again;
  again.Parse(version.text(), three_part);
  Check(SameNumbers(version, again));
  return version;
}

void CheckHex(const std::string& text) {
  Expected<int32_t, HexError> strict = ReadStrictHex(text.c_str());
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 16);
  bool whole = end != text.c_str() && *end == '\0' && errno == 0;
  // The limits themselves are refused, since a clamping reader cannot tell them from overflow.
  bool in_range = value > INT32_MIN && value < INT32_MAX;
  Check(strict.ok() == (whole && in_range));
  Check(!strict || *strict == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string first = input.substr(0, split);
  std::string second = split == std::string::npos ? "" : input.substr(split + 1);
  second = second.substr(0, second.find('\0'));

  for (bool three_part : {true, false}) {
    FirmwareVersion a = Parsed(first, three_part);
    FirmwareVersion b = Parsed(second, three_part);
    // The left operand decides whether the build counts, and an empty text leaves a
    // version of two parts.
    if (a.three_part() == b.three_part()) {
      Check(a.Compare(b) == -b.Compare(a));
      Check((a < b) == (b.Compare(a) > 0));
    }
    FirmwareVersion copy(a);
    Check(copy == a && copy.text()[0] == '\0');
  }
  CheckHex(first);
  CheckHex(second);
  return 0;
}
