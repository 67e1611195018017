// The element behind XmlNode, and what the parser, the writer and the loaders share. Internal
// to the XML layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/expected.h"
#include "xml/xml_node.h"

struct XmlAttribute {
  std::string name;
  std::string value;
  bool has_value;  // false for an attribute written without a value
};

struct XmlClearSection {
  std::string content;  // byte for byte
  const char* opening;  // from the clear-tag table
  const char* closing;  // the table's closing, or the internal-subset closing
};

enum class XmlItem : uint8_t { kChild, kText, kClear };

// Children are shared with the handles on them; parent holds no reference, and is cleared
// when the parent goes.
struct XmlElement {
  std::string name;
  bool has_name = false;  // false for a parse's document element
  bool is_declaration = false;
  XmlElement* parent = nullptr;
  std::vector<XmlAttribute> attributes;
  std::vector<std::shared_ptr<XmlElement>> children;
  std::vector<std::string> texts;
  std::vector<XmlClearSection> clears;
  std::vector<XmlItem> order;  // children, texts and clear sections in document order

  XmlElement() = default;
  XmlElement(const XmlElement&) = delete;
  XmlElement& operator=(const XmlElement&) = delete;
  ~XmlElement();
};

const std::shared_ptr<XmlElement>& ElementOf(const XmlNode& node);
XmlNode NodeOf(std::shared_ptr<XmlElement> element);

// The required element of a text (see XmlNode::ParseText), repaired past a warning, and the
// parse's status: code kXmlNoError when clean, else the XmlStatus and, where the parse points
// into the text, "line L, column C".
struct XmlReading {
  XmlNode node;
  Error<XmlStatus> status;
};
XmlReading ReadXmlText(const char* text, const char* required_tag);

// Whitespace, everywhere in the layer: tab, line feed, carriage return and space.
inline bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Byte length of the UTF-8 character starting at p by its first byte (stray continuation and
// invalid lead bytes count as one), never stepping over a NUL.
inline size_t CharLength(const char* p) {
  auto c = static_cast<unsigned char>(*p);
  size_t length = c == 0 ? 0 : c < 0xC2 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 1;
  for (size_t i = 1; i < length; ++i) {
    if (p[i] == '\0') return i;
  }
  return length;
}

struct XmlClearTag {
  const char* opening;
  size_t opening_length;
  const char* closing;
};
inline constexpr XmlClearTag kClearTags[] = {
    {"<![CDATA[", 9, "]]>"},
    {"<!DOCTYPE", 9, ">"},
    {"<!--", 4, "-->"},
    {"<PRE>", 5, "</PRE>"},
};
constexpr int kDoctypeRow = 1;
constexpr int kCommentRow = 2;
inline constexpr const char* kInternalSubsetClosing = "]>";

struct XmlEntity {
  const char* text;
  size_t length;
  char character;
};
inline constexpr XmlEntity kEntities[] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
// Compares length bytes ignoring ASCII case.
bool EqualIgnoringCase(const char* a, const char* b, size_t length);
// Whole NUL-terminated texts, ignoring ASCII case.
bool SameTextIgnoringCase(const char* a, const char* b);
