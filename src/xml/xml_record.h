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
  char* name;  // owned, in the record's allocation; null for a parse's document record
  int32_t child_count;
  int32_t text_count;
  int32_t clear_count;
  int32_t attribute_count;
  XmlElementRecord* parent;     // holds no reference
  XmlElementRecord** children;  // each entry holds one reference
  char** texts;
  XmlClearSection* clears;
  XmlAttributeEntry* attributes;
  int32_t* order;  // one entry per child, text and clear section
  int32_t reference_count;
  // Beside the count, where they fill what would be padding: a record takes 88 bytes.
  bool is_declaration;
  // Set while a parsed record's arrays and texts lie in its parse's storage, which the record
  // does not own. The building operations first give each array and text an allocation of
  // its own, and clear this.
  bool packed;
  // The storage of the parse that made this record, or null for a record allocated on its own.
  struct XmlParseStorage* storage;
};

// A parse carves its records, arrays and texts from blocks of one storage, which is freed
// with the last of those records: a record that outlives its tree keeps the whole storage.
// Until a building operation touches one of its records, the records refer only to each
// other, so once no handle is held on any of them none can be reached, and the storage is
// freed at once without visiting them.
struct XmlParseStorage {
  int64_t live_records;
  int64_t handles;                 // handles held on its records
  bool changed;                    // a building operation touched one of its records
  struct XmlStorageBlock* blocks;  // every block, the one holding this header last
};
struct XmlStorageBlock {
  XmlStorageBlock* next;
  int64_t unused;  // keeps what follows 16-byte aligned
};
constexpr size_t kStorageBlockBytes = 32 * 1024;
// Counts one of the storage's records as gone; the blocks are freed after the last.
void ReleaseStorageRecord(XmlParseStorage* storage);
void FreeStorage(XmlParseStorage* storage);

// Every allocation of the layer: a failure throws std::bad_alloc instead of giving null.
void* XmlAllocate(size_t bytes);
void* XmlReallocate(void* block, size_t bytes);

inline int32_t OrderCount(const XmlElementRecord& r) {
  return r.child_count + r.text_count + r.clear_count;
}

class XmlNode;
// The record a node holds, or null for the empty node.
XmlElementRecord* RecordOf(const XmlNode& node);
// A node sharing a record (adding a reference), or the empty node for null.
XmlNode NodeOf(XmlElementRecord* record);

// Record lifetime. NewRecord copies name_length bytes of name (null name: no name) and starts
// with no references. AddReference and ReleaseRecord take and drop a handle's reference.
XmlElementRecord* NewRecord(const char* name, size_t name_length, bool is_declaration);
void AddReference(XmlElementRecord* record);
void ReleaseRecord(XmlElementRecord* record);

// Building: each array grows by exactly the entry added. position < 0 appends to the order
// list. AppendAttributeEntry takes ownership of name and value.
void AppendChildRecord(XmlElementRecord* parent, XmlElementRecord* child, int32_t position);
XmlAttributeEntry* AppendAttributeEntry(XmlElementRecord* record, char* name, char* value);

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

// The tables hold their texts rather than pointers, so that they need no relocation and
// stay read-only.
struct XmlClearTag {
  char opening[10];
  size_t opening_length;
  char closing[7];
};
constexpr int kClearTagCount = 4;
extern const XmlClearTag kClearTags[kClearTagCount];
constexpr int kDoctypeRow = 1;  // 0-based row of "<!DOCTYPE"
constexpr int kCommentRow = 2;  // 0-based row of "<!--"
extern const char kInternalSubsetClosing[];

struct XmlEntity {
  char text[7];
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
