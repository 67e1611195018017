#include "xml/xml_test_support.h"

#include <cstdio>

#include "xml/xml_element.h"

namespace test {

Outcome OutcomeOf(const XmlResult<XmlNode>& result) {
  Outcome outcome{0, 0, 0};
  if (result) return outcome;
  outcome.error = result.error().code;
  if (std::sscanf(result.error().text.c_str(), "line %d, column %d", &outcome.line,
                  &outcome.column) != 2) {
    outcome.line = outcome.column = 0;
  }
  return outcome;
}

Parsed Parse(const char* text, const char* required_tag) {
  return Parsed{XmlNode::ParseRepaired(text, required_tag),
                OutcomeOf(XmlNode::ParseText(text, required_tag))};
}

Parsed Load(const std::string& path, const char* required_tag) {
  return Parsed{XmlNode::LoadRepaired(path.c_str(), required_tag),
                OutcomeOf(XmlNode::LoadFile(path.c_str(), required_tag))};
}

namespace {

void DescribeElement(const XmlElement& e, std::string& out) {
  out += e.is_declaration ? "<?" : "<";
  out += e.has_name ? e.name : "#document";
  for (const XmlAttribute& a : e.attributes) {
    out += " " + a.name;
    if (a.has_value) out += "='" + a.value + "'";
  }
  out += ">";
  size_t child = 0;
  size_t text = 0;
  size_t clear = 0;
  for (XmlItem item : e.order) {
    if (item == XmlItem::kChild) {
      DescribeElement(*e.children[child++], out);
    } else if (item == XmlItem::kText) {
      out += "[" + e.texts[text++] + "]";
    } else {
      const XmlClearSection& s = e.clears[clear++];
      out += s.opening + s.content + s.closing;
    }
  }
  out += "</>";
}

}  // namespace

std::string Describe(const XmlNode& node) {
  if (node.IsNull()) return "(empty)";
  std::string out;
  DescribeElement(*ElementOf(node), out);
  return out;
}

std::string TextAt(const XmlNode& node, int index) {
  if (node.IsNull() || static_cast<size_t>(index) >= ElementOf(node)->texts.size()) return "";
  return ElementOf(node)->texts[static_cast<size_t>(index)];
}

std::string Formatted(const XmlNode& node) {
  return node.IsNull() ? "(null)" : node.ToText(true);
}

std::string Compact(const XmlNode& node) {
  return node.IsNull() ? "(null)" : node.ToText(false);
}

}  // namespace test
