// A dotted firmware version as the catalog and the flash tool write it, compared part by
// part. A value type: no heap, no virtual operations.
#pragma once

#include <cstdint>

class FirmwareVersion {
 public:
  // Cleared: 0.0, two parts, empty text.
  FirmwareVersion() = default;
  // Three parts, empty text.
  constexpr FirmwareVersion(uint32_t major, uint32_t minor, uint32_t build)
      : major_(major), minor_(minor), build_(build), three_part_(true) {}
  // Copies the numbers; the text starts empty.
  FirmwareVersion(const FirmwareVersion& other);
  // Copies the numbers and empties the text, unless the two compare equal (this as the left
  // operand): then this is left entirely unchanged.
  FirmwareVersion& operator=(const FirmwareVersion& other);

  void Clear();
  // Reads a version text (see the cursor rules in the implementation); null or empty
  // changes nothing. Texts of 256 characters or more are cut to 255 first. Callers
  // trace the result for -debug.
  void Parse(const char* source, bool three_part);
  // Renders into text() and returns it.
  const char* Format();
  const char* text() const { return text_; }

  // +1, -1 or 0; the build counts only when this version has three parts.
  int Compare(const FirmwareVersion& other) const;
  bool operator==(const FirmwareVersion& other) const { return Compare(other) == 0; }
  bool operator!=(const FirmwareVersion& other) const { return Compare(other) != 0; }
  bool operator<(const FirmwareVersion& other) const { return Compare(other) < 0; }
  bool operator<=(const FirmwareVersion& other) const { return Compare(other) <= 0; }

  uint32_t major() const { return major_; }
  uint32_t minor() const { return minor_; }
  uint32_t build() const { return build_; }
  bool three_part() const { return three_part_; }

 private:
  char text_[64] = {};
  uint32_t major_ = 0;
  uint32_t minor_ = 0;
  uint32_t build_ = 0;
  bool three_part_ = false;
};

// 4.0.555: the dividing line of the driver rule and the hardware-flags check.
inline constexpr FirmwareVersion DependencyThresholdVersion(4, 0, 555);
