// Small text rules shared by every layer: one trim, one case-insensitive comparison.
#pragma once

#include <string>

namespace platform {

// True when the two texts differ at most in the case of ASCII letters.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

// The text without the given characters at either end.
std::string Trim(const std::string& text, const char* blanks = " ");

}  // namespace platform
