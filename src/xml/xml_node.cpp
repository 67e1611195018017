#include "xml/xml_node.h"

#include <cstdlib>
#include <cstring>

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

const char* const kStatusTexts[] = {
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

// Makes room for one more entry, growing by step entries when full.
template <typename T>
void Reserve(T*& array, int32_t count, int32_t& capacity, int32_t step) {
  if (count < capacity) return;
  capacity += step;
  array = static_cast<T*>(std::realloc(array, sizeof(T) * static_cast<size_t>(capacity)));
}

template <typename T>
void TrimArray(T*& array, int32_t count, int32_t& capacity) {
  if (count == capacity) return;
  if (count == 0) {
    std::free(array);
    array = nullptr;
  } else {
    array = static_cast<T*>(std::realloc(array, sizeof(T) * static_cast<size_t>(count)));
  }
  capacity = count;
}

void InsertOrderEntry(XmlElementRecord* r, int32_t position, int32_t entry, int32_t step) {
  int32_t count = OrderCount(*r);  // the new item is not counted yet
  Reserve(r->order, count, r->order_capacity, step);
  if (position < 0 || position > count) position = count;
  std::memmove(r->order + position + 1, r->order + position,
               sizeof(int32_t) * static_cast<size_t>(count - position));
  r->order[position] = entry;
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
  if (parent->child_count == 0) TrimArray(parent->children, 0, parent->child_capacity);
}

void FreeContents(XmlElementRecord* r) {
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
  std::free(r->name);
}

bool IsSelfOrAncestor(const XmlElementRecord* candidate, const XmlElementRecord* r) {
  for (; r != nullptr; r = r->parent) {
    if (r == candidate) return true;
  }
  return false;
}

char* CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  std::memcpy(copy, text, length + 1);
  return copy;
}

}  // namespace

XmlElementRecord* NewRecord(const char* name, size_t name_length, bool is_declaration) {
  auto* r = static_cast<XmlElementRecord*>(std::calloc(1, sizeof(XmlElementRecord)));
  if (name != nullptr) {
    r->name = static_cast<char*>(std::malloc(name_length + 1));
    std::memcpy(r->name, name, name_length);
    r->name[name_length] = '\0';
  }
  r->is_declaration = is_declaration;
  return r;
}

void AddReference(XmlElementRecord* record) {
  if (record != nullptr) ++record->reference_count;
}

void ReleaseRecord(XmlElementRecord* record) {
  if (record == nullptr || --record->reference_count > 0) return;
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
    std::free(r);
  }
}

void AppendChildRecord(XmlElementRecord* parent, XmlElementRecord* child, int32_t step,
                       int32_t position) {
  int32_t order_count = OrderCount(*parent);
  if (position < 0 || position > order_count) position = order_count;
  int32_t index = parent->child_count;
  if (position < order_count) {
    index = 0;
    for (int32_t i = 0; i < position; ++i) {
      if (OrderKind(parent->order[i]) == kOrderChild) ++index;
    }
    for (int32_t i = position; i < order_count; ++i) {
      if (OrderKind(parent->order[i]) == kOrderChild) parent->order[i] += 4;
    }
  }
  InsertOrderEntry(parent, position, OrderEntry(index, kOrderChild), step == 1 ? 1 : kOrderStep);
  Reserve(parent->children, parent->child_count, parent->child_capacity, step);
  std::memmove(parent->children + index + 1, parent->children + index,
               sizeof(XmlElementRecord*) * static_cast<size_t>(parent->child_count - index));
  parent->children[index] = child;
  ++parent->child_count;
  child->parent = parent;
}

void AppendText(XmlElementRecord* r, char* text, int32_t step) {
  InsertOrderEntry(r, -1, OrderEntry(r->text_count, kOrderText), step == 1 ? 1 : kOrderStep);
  Reserve(r->texts, r->text_count, r->text_capacity, step);
  r->texts[r->text_count++] = text;
}

void AppendClear(XmlElementRecord* r, const XmlClearSection& section, int32_t step) {
  InsertOrderEntry(r, -1, OrderEntry(r->clear_count, kOrderClear), step == 1 ? 1 : kOrderStep);
  Reserve(r->clears, r->clear_count, r->clear_capacity, step);
  r->clears[r->clear_count++] = section;
}

XmlAttributeEntry* AppendAttributeEntry(XmlElementRecord* r, char* name, char* value,
                                        int32_t step) {
  Reserve(r->attributes, r->attribute_count, r->attribute_capacity, step);
  XmlAttributeEntry* entry = &r->attributes[r->attribute_count++];
  entry->name = name;
  entry->value = value;
  return entry;
}

// The last clear section is also the last order entry (the comment-merging rule checks this).
void RemoveLastClear(XmlElementRecord* r) {
  --r->clear_count;
  std::free(r->clears[r->clear_count].content);
}

void TrimArrays(XmlElementRecord* r) {
  TrimArray(r->children, r->child_count, r->child_capacity);
  TrimArray(r->texts, r->text_count, r->text_capacity);
  TrimArray(r->clears, r->clear_count, r->clear_capacity);
  TrimArray(r->attributes, r->attribute_count, r->attribute_capacity);
  TrimArray(r->order, OrderCount(*r), r->order_capacity);
}

const char* XmlStatusText(int code) {
  if (code < 0 || code >= static_cast<int>(sizeof(kStatusTexts) / sizeof(kStatusTexts[0]))) {
    return "Unknown";
  }
  return kStatusTexts[code];
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
  return AppendAttributeEntry(record_, CopyText(name), CopyText(value), 1);
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
    AddReference(c);
  }
  AppendChildRecord(record_, c, 1, position);
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
