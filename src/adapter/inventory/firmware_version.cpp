#include "adapter/inventory/firmware_version.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kWorkingBuffer = 256;

// A token's number: leading white space, an optional sign and decimal digits, read as a
// signed 32-bit value (clamped like a 32-bit strtol) and kept as its bit pattern.
uint32_t ReadNumber(const char* token) {
  long long value = std::strtoll(token, nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<uint32_t>(static_cast<int32_t>(value));
}

// Moves the cursor just past the last occurrence of c at or after it.
char* PastLast(char* cursor, char c) {
  while (*cursor) {
    char* found = std::strchr(cursor, c);
    if (!found) break;
    cursor = found + 1;
  }
  return cursor;
}

}  // namespace

FirmwareVersion::FirmwareVersion(const FirmwareVersion& other)
    : major_(other.major_),
      minor_(other.minor_),
      build_(other.build_),
      three_part_(other.three_part_) {}

FirmwareVersion& FirmwareVersion::operator=(const FirmwareVersion& other) {
  if (*this != other) {
    major_ = other.major_;
    minor_ = other.minor_;
    build_ = other.build_;
    three_part_ = other.three_part_;
    text_[0] = '\0';
  }
  return *this;
}

void FirmwareVersion::Clear() {
  text_[0] = '\0';
  major_ = minor_ = build_ = 0;
  three_part_ = false;
}

void FirmwareVersion::Parse(const char* source, bool three_part) {
  if (!source || !*source) return;
  char buffer[kWorkingBuffer];
  std::snprintf(buffer, sizeof buffer, "%s", source);  // longer texts are cut to 255

  // Everything before the first blank is a word such as "Version"; drop it.
  char* cursor = std::strchr(buffer, ' ');
  if (!cursor) cursor = buffer;
  while (*cursor == ' ') ++cursor;
  if (std::strncmp(cursor, "NCSI", 4) == 0) cursor += 4;
  cursor = PastLast(cursor, 'v');
  cursor = PastLast(cursor, 'c');

  uint32_t* parts[] = {&major_, &minor_, &build_};
  size_t wanted = three_part ? 3 : 2;
  size_t read = 0;
  char* p = cursor;
  while (read < wanted) {
    while (*p == '.') ++p;
    if (!*p) break;
    char* end = std::strchr(p, '.');
    if (end) *end = '\0';
    *parts[read++] = ReadNumber(p);
    if (!end) break;
    p = end + 1;
  }
  three_part_ = three_part;
  Format();
}

const char* FirmwareVersion::Format() {
  if (three_part_) {
    std::snprintf(text_, sizeof text_, "%d.%d.%d", static_cast<int32_t>(major_),
                  static_cast<int32_t>(minor_), static_cast<int32_t>(build_));
  } else {
    std::snprintf(text_, sizeof text_, "%d.%d", static_cast<int32_t>(major_),
                  static_cast<int32_t>(minor_));
  }
  return text_;
}

namespace {

// Parts are compared as the signed values they are shown as, so that "4.0.-1" is older than
// "4.0.0" in every comparison, as it reads.
int CompareParts(uint32_t a, uint32_t b) {
  int32_t x = static_cast<int32_t>(a);
  int32_t y = static_cast<int32_t>(b);
  return x == y ? 0 : x > y ? 1 : -1;
}

}  // namespace

int FirmwareVersion::Compare(const FirmwareVersion& other) const {
  if (int c = CompareParts(major_, other.major_)) return c;
  if (int c = CompareParts(minor_, other.minor_)) return c;
  return three_part_ ? CompareParts(build_, other.build_) : 0;
}
