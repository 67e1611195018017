// Entity decoding for texts and attribute values. Internal to the XML layer.
#pragma once

#include <cstddef>

// Decodes the entities in the first length bytes of text (stopping early at a NUL) into one
// new malloc'd NUL-terminated text, measured before it is allocated. A non-null prefix is
// copied in front of the result. On a bad reference returns null and sets *error to 12 or 13.
char* DecodeEntities(const char* text, size_t length, const char* prefix, int* error);
