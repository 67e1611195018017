// Entity decoding for texts and attribute values. Internal to the XML layer.
#pragma once

#include <cstddef>
#include <string>

#include "xml/xml_node.h"

// Appends the first length bytes of text (stopping early at a NUL) to out with their
// references decoded, a numeric one as the single byte of its value. An error
// kXmlUnknownCharacterEntity when any reference of the run lacks its semicolon or names no
// entity; else, at the first bad numeric reference, kXmlUnknownCharacterEntity for a bad
// digit or kXmlCharacterCodeAbove255. out is then incomplete.
XmlResult<void> AppendDecoded(const char* text, size_t length, std::string* out);
