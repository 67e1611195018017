// The XML layer's two readers and the choice between them. Internal to the XML layer.
#pragma once

#include <cstddef>

#include "xml/xml_node.h"

// What a reader made of a text. document holds no reference yet, and owns the parse's
// storage; error is an XmlStatus, and error_position where a warning or error points.
struct XmlRead {
  XmlElementRecord* document;
  int error;
  const char* error_position;
};

// Both take a text whose NUL is at text + length.
// The general parser reads any text, tolerating what the tool and old packages write.
XmlRead ReadGeneral(const char* text, size_t length);
// The common-shape reader: null document for a text it does not accept, which the general
// parser must then read from the start (xml_common_reader.cpp says which).
XmlRead ReadCommonShapes(const char* text, size_t length);

enum class XmlReaderChoice {
  kGeneral,            // the general parser only
  kCommonShapesFirst,  // as the product reads: common shapes, else the general parser
};

// A parse through the chosen readers; the loaders of xml_node.h read common shapes first.
XmlNode ParseTextWith(XmlReaderChoice reader, const char* text, const char* required_tag,
                      XmlParseOutcome* results);
