// The general parser's entry, for the loaders. Internal to the XML layer.
#pragma once

#include "xml/xml_node.h"
#include "xml/xml_record.h"

// What the parser made of a text. document holds no reference yet, and owns the parse's
// storage; error is an XmlStatus, and error_position where a warning or error points.
struct XmlRead {
  XmlElementRecord* document;
  int error;
  const char* error_position;
};

// Reads any text up to its NUL, tolerating what the tool and old packages write.
XmlRead ReadGeneral(const char* text);
