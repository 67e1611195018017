// Helpers shared by the XML layer's tests.
#pragma once

#include <string>

#include "xml/xml_node.h"

namespace test {

struct Parsed {
  XmlNode node;
  XmlParseOutcome outcome;
};

Parsed Parse(const char* text, const char* required_tag = nullptr);

// The whole tree below a node as one line: names, attributes, texts and clear sections in
// document order. Two trees are the same when their descriptions are.
std::string Describe(const XmlNode& node);
std::string Describe(const XmlElementRecord* record);

// The text of the i-th text of a node, "" when there is none.
std::string TextAt(const XmlNode& node, int index);

std::string Formatted(const XmlNode& node);
std::string Compact(const XmlNode& node);

}  // namespace test
