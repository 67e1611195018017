// Entity decoding for texts and attribute values. Internal to the XML layer.
#pragma once

#include <cstddef>

#include "base/expected.h"

// The decoded length of the first length bytes of text (stopping early at a NUL), or an
// error kXmlUnknownCharacterEntity or kXmlCharacterCodeAbove255 for a bad reference. Checks
// everything DecodeInto relies on.
Expected<size_t> DecodedLength(const char* text, size_t length);

// Writes the decoded bytes of a run that DecodedLength accepted; no terminator.
void DecodeInto(const char* text, size_t length, char* out);
