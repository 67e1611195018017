// Helpers shared by the XML layer's tests.
#pragma once

#include <string>

#include "xml/xml_node.h"

namespace test {

// A parse's status, and its line and column (0 where the status names none).
struct Outcome {
  int error;
  int line;
  int column;
};
Outcome OutcomeOf(const XmlResult<XmlNode>& result);

// The repaired element of a text or file, and the status of the strict call.
struct Parsed {
  XmlNode node;
  Outcome outcome;
};
Parsed Parse(const char* text, const char* required_tag = nullptr);
Parsed Load(const std::string& path, const char* required_tag = nullptr);

// The whole tree below a node as one line: names, attributes, texts and clear sections in
// document order. Two trees are the same when their descriptions are.
std::string Describe(const XmlNode& node);

// The text of the i-th text of a node, "" when there is none.
std::string TextAt(const XmlNode& node, int index);

std::string Formatted(const XmlNode& node);
std::string Compact(const XmlNode& node);

}  // namespace test
