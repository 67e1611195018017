#include "xml/xml_node.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "xml/xml_record.h"

// 0x00 ends the text; stray continuation bytes and invalid lead bytes count as one byte.
const uint8_t kCharLengthTable[256] = {
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
};

const XmlClearTag kClearTags[kClearTagCount] = {
    {"<![CDATA[", 9, "]]>"},
    {"<!DOCTYPE", 9, ">"},
    {"<!--", 4, "-->"},
    {"<PRE>", 5, "</PRE>"},
};
const char kInternalSubsetClosing[] = "]>";

const XmlEntity kEntities[kEntityCount] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

bool EqualIgnoringCase(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool SameTextIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

namespace {

// Texts in place rather than pointers, so that the table needs no relocation.
const char kStatusTexts[][72] = {
    "No error",
    "Warning: Unmatched end tag",
    "Warning: No XML tag found",
    "Error: No XML data",
    "Error: Missing start tag name",
    "Error: Missing end tag name",
    "Error: Unmatched end tag",
    "Error: Unmatched clear tag end",
    "Error: Unexpected token found",
    "Error: No elements found",
    "Error: File not found",
    "Error: First Tag not found",
    "Error: Unknown character entity",
    "Error: Character code above 255 is forbidden in MultiByte char mode.",
    "Error: unable to convert between WideChar and MultiByte chars",
    "Error: unable to open file for writing",
    "Error: cannot write into file",
    "Warning: Base64-string length is not a multiple of 4",
    "Error: Base64-string contains an illegal character",
    "Warning: Base64-string is truncated",
    "Error: Base64 decode output buffer is too small",
};

// Grows an unpacked array by exactly one entry.
template <typename T>
void GrowByOne(T*& array, int32_t count) {
  array = static_cast<T*>(XmlReallocate(array, sizeof(T) * static_cast<size_t>(count + 1)));
}

template <typename T>
T* CopyArray(const T* array, int32_t count) {
  if (count == 0) return nullptr;
  size_t bytes = sizeof(T) * static_cast<size_t>(count);
  T* copy = static_cast<T*>(XmlAllocate(bytes));
  std::memcpy(copy, array, bytes);
  return copy;
}

char* CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(XmlAllocate(length + 1));
  std::memcpy(copy, text, length + 1);
  return copy;
}

// Gives every array and text of a parsed record an allocation of its own, so that the
// building operations can grow and free them one by one. The name stays where it is. Should
// an allocation fail, what was copied so far leaks, and the record stays as it was.
void Unpack(XmlElementRecord* r) {
  // Its arrays and texts will be freed one by one.
  if (r->storage != nullptr) r->storage->changed = true;
  if (!r->packed) return;
  XmlElementRecord copy = *r;
  copy.children = CopyArray(r->children, r->child_count);
  copy.texts = CopyArray(r->texts, r->text_count);
  for (int32_t i = 0; i < r->text_count; ++i) copy.texts[i] = CopyText(r->texts[i]);
  copy.clears = CopyArray(r->clears, r->clear_count);
  for (int32_t i = 0; i < r->clear_count; ++i) {
    copy.clears[i].content = CopyText(r->clears[i].content);
  }
  copy.attributes = CopyArray(r->attributes, r->attribute_count);
  for (int32_t i = 0; i < r->attribute_count; ++i) {
    copy.attributes[i].name = CopyText(r->attributes[i].name);
    copy.attributes[i].value = CopyText(r->attributes[i].value);
  }
  copy.order = CopyArray(r->order, OrderCount(*r));
  copy.packed = false;
  *r = copy;
}

int32_t OrderPositionOfChild(const XmlElementRecord* parent, int32_t child_index) {
  int32_t count = OrderCount(*parent);
  int32_t wanted = OrderEntry(child_index, kOrderChild);
  for (int32_t i = child_index; i < count; ++i) {
    if (parent->order[i] == wanted) return i;
  }
  return -1;
}

int32_t ChildIndexOf(const XmlElementRecord* parent, const XmlElementRecord* child) {
  for (int32_t i = 0; i < parent->child_count; ++i) {
    if (parent->children[i] == child) return i;
  }
  return -1;
}

// Takes the child out of its parent's child array and order list; the parent's reference is
// left for the caller to move or drop.
void DetachFromParent(XmlElementRecord* child) {
  XmlElementRecord* parent = child->parent;
  if (parent == nullptr) return;
  child->parent = nullptr;
  int32_t index = ChildIndexOf(parent, child);
  if (index < 0) return;
  Unpack(parent);
  int32_t position = OrderPositionOfChild(parent, index);
  int32_t order_count = OrderCount(*parent);
  std::memmove(parent->children + index, parent->children + index + 1,
               sizeof(XmlElementRecord*) * static_cast<size_t>(parent->child_count - index - 1));
  --parent->child_count;
  if (position >= 0) {
    std::memmove(parent->order + position, parent->order + position + 1,
                 sizeof(int32_t) * static_cast<size_t>(order_count - position - 1));
    for (int32_t i = position; i < order_count - 1; ++i) {
      if (OrderKind(parent->order[i]) == kOrderChild) parent->order[i] -= 4;
    }
  }
  if (parent->child_count == 0) {
    std::free(parent->children);
    parent->children = nullptr;
  }
}

void FreeContents(XmlElementRecord* r) {
  if (r->packed) return;  // the storage frees it
  for (int32_t i = 0; i < r->text_count; ++i) std::free(r->texts[i]);
  for (int32_t i = 0; i < r->clear_count; ++i) std::free(r->clears[i].content);
  for (int32_t i = 0; i < r->attribute_count; ++i) {
    std::free(r->attributes[i].name);
    std::free(r->attributes[i].value);
  }
  std::free(r->children);
  std::free(r->texts);
  std::free(r->clears);
  std::free(r->attributes);
  std::free(r->order);
}

bool IsSelfOrAncestor(const XmlElementRecord* candidate, const XmlElementRecord* r) {
  for (; r != nullptr; r = r->parent) {
    if (r == candidate) return true;
  }
  return false;
}

}  // namespace

void* XmlAllocate(size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* XmlReallocate(void* block, size_t bytes) {
  void* grown = std::realloc(block, bytes == 0 ? 1 : bytes);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

void ReleaseStorageRecord(XmlParseStorage* storage) {
  if (--storage->live_records == 0) FreeStorage(storage);
}

void FreeStorage(XmlParseStorage* storage) {
  // The header lies in the last block of the chain, which is freed last.
  for (XmlStorageBlock* block = storage->blocks; block != nullptr;) {
    XmlStorageBlock* next = block->next;
    std::free(block);
    block = next;
  }
}

XmlElementRecord* NewRecord(const char* name, size_t name_length, bool is_declaration) {
  size_t name_bytes = name ? name_length + 1 : 0;
  auto* r = static_cast<XmlElementRecord*>(XmlAllocate(sizeof(XmlElementRecord) + name_bytes));
  *r = XmlElementRecord();
  if (name != nullptr) {
    r->name = reinterpret_cast<char*>(r + 1);
    std::memcpy(r->name, name, name_length);
    r->name[name_length] = '\0';
  }
  r->is_declaration = is_declaration;
  return r;
}

void AddReference(XmlElementRecord* record) {
  if (record == nullptr) return;
  ++record->reference_count;
  if (record->storage != nullptr) ++record->storage->handles;
}

void ReleaseRecord(XmlElementRecord* record) {
  if (record == nullptr) return;
  XmlParseStorage* storage = record->storage;
  if (storage != nullptr && --storage->handles == 0 && !storage->changed) {
    FreeStorage(storage);
    return;
  }
  if (--record->reference_count > 0) return;
  DetachFromParent(record);
  // Records whose last reference goes are chained through their (now unused) parent field,
  // so freeing a deep tree needs neither recursion nor allocation.
  XmlElementRecord* dying = record;
  while (dying != nullptr) {
    XmlElementRecord* r = dying;
    dying = r->parent;
    for (int32_t i = 0; i < r->child_count; ++i) {
      XmlElementRecord* child = r->children[i];
      child->parent = nullptr;
      if (--child->reference_count == 0) {
        child->parent = dying;
        dying = child;
      }
    }
    FreeContents(r);
    if (r->storage == nullptr) {
      std::free(r);
    } else {
      ReleaseStorageRecord(r->storage);
    }
  }
}

void AppendChildRecord(XmlElementRecord* parent, XmlElementRecord* child, int32_t position) {
  Unpack(parent);
  // A parsed record held by another tree's record may outlive every handle on its own tree.
  if (child->storage != nullptr) child->storage->changed = true;
  int32_t order_count = OrderCount(*parent);
  if (position < 0 || position > order_count) position = order_count;
  // The child's index among the elements is the number of elements before position.
  int32_t index = 0;
  for (int32_t i = 0; i < position; ++i) {
    if (OrderKind(parent->order[i]) == kOrderChild) ++index;
  }
  for (int32_t i = position; i < order_count; ++i) {
    if (OrderKind(parent->order[i]) == kOrderChild) parent->order[i] += 4;
  }
  GrowByOne(parent->order, order_count);
  std::memmove(parent->order + position + 1, parent->order + position,
               sizeof(int32_t) * static_cast<size_t>(order_count - position));
  parent->order[position] = OrderEntry(index, kOrderChild);
  GrowByOne(parent->children, parent->child_count);
  std::memmove(parent->children + index + 1, parent->children + index,
               sizeof(XmlElementRecord*) * static_cast<size_t>(parent->child_count - index));
  parent->children[index] = child;
  ++parent->child_count;
  child->parent = parent;
}

XmlAttributeEntry* AppendAttributeEntry(XmlElementRecord* r, char* name, char* value) {
  Unpack(r);
  GrowByOne(r->attributes, r->attribute_count);
  XmlAttributeEntry* entry = &r->attributes[r->attribute_count++];
  entry->name = name;
  entry->value = value;
  return entry;
}

const char* XmlStatusText(int code) {
  if (code < 0 || code >= static_cast<int>(sizeof(kStatusTexts) / sizeof(kStatusTexts[0]))) {
    return "Unknown";
  }
  return kStatusTexts[code];
}

XmlElementRecord* RecordOf(const XmlNode& node) {
  return node.record_;
}

XmlNode NodeOf(XmlElementRecord* record) {
  return XmlNode(record);
}

XmlNode::XmlNode(XmlElementRecord* record) : record_(record) {
  AddReference(record_);
}

XmlNode::XmlNode(const XmlNode& other) : record_(other.record_) {
  AddReference(record_);
}

XmlNode::XmlNode(XmlNode&& other) noexcept : record_(other.record_) {
  other.record_ = nullptr;
}

XmlNode& XmlNode::operator=(const XmlNode& other) {
  if (record_ != other.record_) {
    AddReference(other.record_);
    ReleaseRecord(record_);
    record_ = other.record_;
  }
  return *this;
}

XmlNode& XmlNode::operator=(XmlNode&& other) noexcept {
  if (this != &other) {
    ReleaseRecord(record_);
    record_ = other.record_;
    other.record_ = nullptr;
  }
  return *this;
}

XmlNode::~XmlNode() {
  ReleaseRecord(record_);
}

XmlNode XmlNode::NewRoot(const char* name, bool is_declaration) {
  return XmlNode(NewRecord(name, name ? std::strlen(name) : 0, is_declaration));
}

XmlAttributeEntry* XmlNode::AppendAttribute(const char* name, const char* value) {
  if (record_ == nullptr || name == nullptr) return nullptr;
  return AppendAttributeEntry(record_, CopyText(name), CopyText(value));
}

XmlNode XmlNode::AppendChild(XmlNode child, int position) {
  XmlElementRecord* c = child.record_;
  if (record_ == nullptr || c == nullptr) return child;
  // Attaching an element under itself or its own descendant would make a cycle.
  if (IsSelfOrAncestor(c, record_)) return XmlNode();
  if (c->name == nullptr) {
    // A document record is not attached itself: its children move instead.
    while (c->child_count > 0) {
      AppendChild(XmlNode(c->children[0]), position);
      if (position >= 0) ++position;
    }
    return child;
  }
  if (c->parent != nullptr) {
    XmlElementRecord* old_parent = c->parent;
    int32_t old_position = OrderPositionOfChild(old_parent, ChildIndexOf(old_parent, c));
    DetachFromParent(c);  // the old parent's reference moves to this element's list
    if (old_parent == record_ && position >= 0 && old_position <= position) --position;
  } else {
    ++c->reference_count;  // the new parent's list
  }
  AppendChildRecord(record_, c, position);
  return child;
}

bool XmlNode::IsDeclarationElement() const {
  return record_ != nullptr && record_->is_declaration;
}

const char* XmlNode::Name() const {
  return record_ ? record_->name : nullptr;
}

int XmlNode::ChildCount() const {
  return record_ ? record_->child_count : 0;
}

XmlNode XmlNode::ChildAt(int index) const {
  if (record_ == nullptr || index < 0 || index >= record_->child_count) return XmlNode();
  return XmlNode(record_->children[index]);
}

XmlNode XmlNode::FindChild(const char* name, int* cursor) const {
  if (record_ == nullptr || name == nullptr) return XmlNode();
  int start = (cursor != nullptr && *cursor > 0) ? *cursor : 0;
  for (int i = start; i < record_->child_count; ++i) {
    const char* child_name = record_->children[i]->name;
    if (child_name != nullptr && SameTextIgnoringCase(child_name, name)) {
      if (cursor != nullptr) *cursor = i + 1;
      return XmlNode(record_->children[i]);
    }
  }
  return XmlNode();
}

const char* XmlNode::AttributeValue(const char* name, int* cursor) const {
  if (record_ == nullptr || name == nullptr) return nullptr;
  int start = (cursor != nullptr && *cursor > 0) ? *cursor : 0;
  for (int i = start; i < record_->attribute_count; ++i) {
    const XmlAttributeEntry& a = record_->attributes[i];
    if (SameTextIgnoringCase(a.name, name)) {
      if (cursor != nullptr) *cursor = i + 1;
      return a.value;
    }
  }
  return nullptr;
}

int XmlNode::ElementCount() const {
  if (record_ == nullptr) return 0;
  return record_->child_count + record_->text_count + record_->clear_count +
         record_->attribute_count;
}
