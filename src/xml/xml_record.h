// The records behind XmlNode and the tables that the parser and the writer share. Internal to
// the XML layer.
#pragma once

#include <cstddef>
#include <cstdint>

struct XmlAttributeEntry {
  char* name;   // owned
  char* value;  // owned, or null for an attribute written without a value
};

struct XmlClearSection {
  char* content;        // owned, byte for byte
  const char* opening;  // points into the clear-tag table
  const char* closing;  // the table's closing, or the internal-subset closing
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
  char* name;  // owned; null for the document record of a parse
  int32_t child_count;
  int32_t text_count;
  int32_t clear_count;
  int32_t attribute_count;
  bool is_declaration;
  XmlElementRecord* parent;     // holds no reference
  XmlElementRecord** children;  // each entry holds one reference
  char** texts;
  XmlClearSection* clears;
  XmlAttributeEntry* attributes;
  int32_t* order;  // one entry per child, text and clear section
  int32_t reference_count;
  // Allocated entries of each array; the parser grows them in steps and trims them on close.
  int32_t child_capacity;
  int32_t text_capacity;
  int32_t clear_capacity;
  int32_t attribute_capacity;
  int32_t order_capacity;
};

inline int32_t OrderCount(const XmlElementRecord& r) {
  return r.child_count + r.text_count + r.clear_count;
}

// Growth steps while parsing; the building operations grow by exactly one entry.
constexpr int32_t kArrayStep = 50;
constexpr int32_t kOrderStep = 150;

// Record lifetime. NewRecord copies name_length bytes of name (null name: no name).
XmlElementRecord* NewRecord(const char* name, size_t name_length, bool is_declaration);
void AddReference(XmlElementRecord* record);
void ReleaseRecord(XmlElementRecord* record);

// Appending takes ownership of the texts handed in. position < 0 appends to the order list.
void AppendChildRecord(XmlElementRecord* parent, XmlElementRecord* child, int32_t step,
                       int32_t position = -1);
void AppendText(XmlElementRecord* record, char* text, int32_t step);
void AppendClear(XmlElementRecord* record, const XmlClearSection& section, int32_t step);
XmlAttributeEntry* AppendAttributeEntry(XmlElementRecord* record, char* name, char* value,
                                        int32_t step);
void RemoveLastClear(XmlElementRecord* record);
void TrimArrays(XmlElementRecord* record);

// Whitespace, everywhere in the layer: tab, line feed, carriage return and space.
inline bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Byte length of the character starting at p by its first byte, never stepping over a NUL.
extern const uint8_t kCharLengthTable[256];
inline size_t CharLength(const char* p) {
  size_t length = kCharLengthTable[static_cast<unsigned char>(*p)];
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
extern const XmlClearTag kClearTags[kClearTagCount];
constexpr int kDoctypeRow = 1;  // 0-based row of "<!DOCTYPE"
constexpr int kCommentRow = 2;  // 0-based row of "<!--"
extern const char kInternalSubsetClosing[];

struct XmlEntity {
  const char* text;
  size_t length;
  char character;
};
constexpr int kEntityCount = 5;
extern const XmlEntity kEntities[kEntityCount];

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
// Compares length bytes ignoring ASCII case.
bool EqualIgnoringCase(const char* a, const char* b, size_t length);
// Whole NUL-terminated texts, ignoring ASCII case.
bool SameTextIgnoringCase(const char* a, const char* b);
