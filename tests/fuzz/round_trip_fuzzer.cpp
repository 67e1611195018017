// parse -> ToText -> parse: a document that parses without a warning comes back as the same
// tree, formatted and compact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xml/xml_element.h"
#include "xml/xml_node.h"
#include "xml/xml_test_support.h"

namespace {

bool ValidUtf8(const char* s) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p != 0;) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    int n = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : 1;
    if (*p < 0xC2 || *p > 0xF4) return false;
    for (int i = 1; i <= n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    p += n + 1;
  }
  return true;
}

// Names are written as they were read, without escaping; only names made of name
// characters read back the same way.
bool PlainName(const char* name) {
  if (name[0] == '!' || !ValidUtf8(name)) return false;
  return std::strpbrk(name, "\"'<>=/?&") == nullptr;
}

// Texts are stored trimmed; one that is not (or is empty) was cut short by a reference to
// character 0, and reads back trimmed.
bool Trimmed(const char* text) {
  size_t n = std::strlen(text);
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return n > 0 && !space(text[0]) && !space(text[n - 1]);
}

// The writer reproduces what the parser stores only where the stored bytes are whole
// characters: a numeric reference is kept as one raw byte, which may read back as the lead
// of a longer character. An element named PRE without attributes is written as the opening
// of a clear section. A declaration without attributes is written as "<?name?>", which
// reads back with the question mark in its name, and a declaration below the top is always
// written closed, so content it held moves to its parent. Such trees are outside the
// round-trip promise, as is a top-level declaration followed by anything: what follows is
// read back as its content. Text at the very start of a document belongs to no run and is
// not read at all, and two texts with nothing stored between them (an empty section was
// dropped) are read back as one.
bool Writable(const XmlElement& e, bool top) {
  const std::vector<XmlItem>& order = e.order;
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    if (order[i] == XmlItem::kText && order[i + 1] == XmlItem::kText) return false;
  }
  if (!e.has_name && !order.empty() && order[0] == XmlItem::kText) return false;
  if (e.is_declaration && !top && !order.empty()) return false;
  for (size_t i = 0, child = 0; !e.has_name && i + 1 < order.size(); ++i) {
    if (order[i] == XmlItem::kChild && e.children[child++]->is_declaration) return false;
  }
  if (e.has_name && (!PlainName(e.name.c_str()) || e.name == "PRE")) return false;
  if (e.is_declaration && e.attributes.empty()) return false;
  for (const XmlAttribute& a : e.attributes) {
    if (!PlainName(a.name.c_str()) || (a.has_value && !ValidUtf8(a.value.c_str()))) return false;
  }
  for (const std::string& text : e.texts) {
    if (!Trimmed(text.c_str()) || !ValidUtf8(text.c_str())) return false;
  }
  for (const XmlClearSection& section : e.clears) {
    if (!ValidUtf8(section.content.c_str())) return false;
  }
  for (const std::shared_ptr<XmlElement>& child : e.children) {
    if (!Writable(*child, top && !e.has_name)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  XmlResult<XmlNode> parsed = XmlNode::ParseText(text.c_str(), nullptr);
  if (!parsed || !Writable(*ElementOf(*parsed), true)) return 0;
  const XmlNode& first = *parsed;
  std::string expected = test::Describe(first);
  for (bool formatted : {true, false}) {
    std::string written = first.ToText(formatted);
    if (std::strlen(written.c_str()) != written.size()) std::abort();
    XmlResult<XmlNode> again = XmlNode::ParseText(written.c_str(), nullptr);
    if (!again || test::Describe(*again) != expected) std::abort();
  }
  return 0;
}
