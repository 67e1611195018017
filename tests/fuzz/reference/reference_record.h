// The element records and tables the reference parser was written against, kept here with it
// so that the product's storage may change freely.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xml/xml_node.h"

namespace reference {

struct XmlParseOutcome {
  int error = 0;  // an XmlStatus
  int line = 0;   // 1-based, counted in characters; 0 when not applicable
  int column = 0;
};

struct XmlAttributeEntry {
  char* name;
  char* value;  // null for an attribute written without a value
};

struct XmlClearSection {
  char* content;
  const char* opening;
  const char* closing;
};

// Order-list entries: (index in its own array * 4) + kind.
enum XmlOrderKind : int32_t { kOrderChild = 0, kOrderText = 2, kOrderClear = 3 };
inline int32_t OrderKind(int32_t entry) {
  return entry & 3;
}
inline int32_t OrderIndex(int32_t entry) {
  return entry >> 2;
}
inline int32_t OrderEntry(int32_t index, int32_t kind) {
  return index * 4 + kind;
}

struct XmlElementRecord {
  char* name;  // null for the document record
  int32_t child_count;
  int32_t text_count;
  int32_t clear_count;
  int32_t attribute_count;
  XmlElementRecord* parent;
  XmlElementRecord** children;
  char** texts;
  XmlClearSection* clears;
  XmlAttributeEntry* attributes;
  int32_t* order;  // one entry per child, text and clear section
  int32_t reference_count;
  bool is_declaration;
  bool packed;
  void* storage;
};

inline int32_t OrderCount(const XmlElementRecord& r) {
  return r.child_count + r.text_count + r.clear_count;
}

inline bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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
constexpr int kClearTagCount = 4;
inline constexpr XmlClearTag kClearTags[kClearTagCount] = {
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
constexpr int kEntityCount = 5;
inline constexpr XmlEntity kEntities[kEntityCount] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline bool EqualIgnoringCase(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}
inline bool SameTextIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

}  // namespace reference
