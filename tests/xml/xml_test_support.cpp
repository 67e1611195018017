#include "xml/xml_test_support.h"

#include "xml/xml_record.h"

namespace test {

Parsed Parse(const char* text, const char* required_tag) {
  XmlNode::Findings findings = XmlNode::ReadText(text, required_tag);
  return Parsed{findings.node, findings.outcome};
}

namespace {

void DescribeRecord(const XmlElementRecord* r, std::string& out) {
  out += r->is_declaration ? "<?" : "<";
  out += r->name ? r->name : "#document";
  for (int32_t i = 0; i < r->attribute_count; ++i) {
    out += " ";
    out += r->attributes[i].name;
    if (r->attributes[i].value != nullptr) {
      out += "='";
      out += r->attributes[i].value;
      out += "'";
    }
  }
  out += ">";
  for (int32_t i = 0; i < OrderCount(*r); ++i) {
    int32_t entry = r->order[i];
    int32_t index = OrderIndex(entry);
    switch (OrderKind(entry)) {
      case kOrderChild:
        DescribeRecord(r->children[index], out);
        break;
      case kOrderText:
        out += "[";
        out += r->texts[index];
        out += "]";
        break;
      default:
        out += r->clears[index].opening;
        out += r->clears[index].content;
        out += r->clears[index].closing;
        break;
    }
  }
  out += "</>";
}

}  // namespace

std::string Describe(const XmlNode& node) {
  return Describe(RecordOf(node));
}

std::string Describe(const XmlElementRecord* record) {
  if (record == nullptr) return "(empty)";
  std::string out;
  DescribeRecord(record, out);
  return out;
}

std::string TextAt(const XmlNode& node, int index) {
  if (node.IsNull() || index >= RecordOf(node)->text_count) return "";
  return RecordOf(node)->texts[index];
}

std::string Formatted(const XmlNode& node) {
  std::unique_ptr<char[]> text = node.ToText(true);
  return text ? text.get() : "(null)";
}

std::string Compact(const XmlNode& node) {
  std::unique_ptr<char[]> text = node.ToText(false);
  return text ? text.get() : "(null)";
}

}  // namespace test
