// Recognising UTF-16 files and converting them to UTF-8, without the platform's help.
// Internal to the XML layer.
#pragma once

#include <cstddef>
#include <string>

// True for a buffer that starts with FF FE or reads as little-endian 16-bit units of mostly
// ASCII text.
bool LooksLikeUtf16(const unsigned char* data, size_t size);

// Converts little-endian UTF-16, up to its zero unit, into UTF-8. Unpaired surrogates become
// U+FFFD. The caller guarantees a zero unit within the buffer.
std::string Utf16ToUtf8(const unsigned char* data);
