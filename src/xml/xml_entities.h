// Entity decoding for texts and attribute values. Internal to the XML layer.
#pragma once

#include <cstddef>

// The decoded length of the first length bytes of text (stopping early at a NUL), or -1 with
// *error set to 12 or 13 for a bad reference. Checks everything DecodeInto relies on.
ptrdiff_t DecodedLength(const char* text, size_t length, int* error);

// Writes the decoded bytes of a run that DecodedLength accepted; no terminator.
void DecodeInto(const char* text, size_t length, char* out);

// Decodes a run in place and gives its decoded length, or -1 with *error set as
// DecodedLength would; the bytes past the decoded length are left undefined.
ptrdiff_t DecodeInPlace(char* text, size_t length, int* error);
