// What the parser builds a tree with: the parse's storage, the records made there, and
// the open elements with their pending contents and attributes. Internal to the XML layer.
//
// Each element's record is made in the storage when the element opens; only its list of
// contents and attributes waits on shared stacks until it closes, when it is laid out at its
// exact size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "xml/xml_record.h"

// An open element; its record exists from the start.
struct XmlOpenElement {
  XmlElementRecord* record;
  const char* name;  // where the name is written in the text; null for the document
  size_t name_length;
  size_t first_item;       // this element's contents on the item stack start here
  size_t first_attribute;  // and its attributes on the attribute stack here
  int32_t counts[4];       // items of each XmlOrderKind
};

// A child, text or clear section of an open element, in document order. Children and texts
// are stored already; a section is copied when its element closes, since a comment between
// two texts disappears.
struct XmlPendingItem {
  const void* stored;   // the child's record or the text; the section's content in the text
  size_t length;        // the section's bytes
  const char* closing;  // the section's closing
  int32_t kind;         // an XmlOrderKind
  int32_t row;          // the section's row of the clear-tag table
};

class XmlTreeBuilder {
 public:
  XmlTreeBuilder() = default;
  // Frees the storage unless Finish handed it over.
  ~XmlTreeBuilder();
  XmlTreeBuilder(const XmlTreeBuilder&) = delete;
  XmlTreeBuilder& operator=(const XmlTreeBuilder&) = delete;

  // Starts the storage, and opens the document record as the first element.
  void Begin();
  // Closes every element still open and hands the document record, which holds no reference
  // yet, and with it the storage to the caller.
  XmlElementRecord* Finish();

  // Pieces of the storage: objects 8-byte aligned, texts packed byte by byte.
  char* Allocate(size_t bytes) {
    if (static_cast<size_t>(end_ - next_) < bytes) return NewBlock(bytes);
    char* piece = next_;
    next_ += bytes;
    return piece;
  }
  char* AllocateAligned(size_t bytes) {
    next_ += (0 - reinterpret_cast<uintptr_t>(next_)) & 7;
    if (next_ > end_) next_ = end_;
    bytes = (bytes + 7) & ~static_cast<size_t>(7);
    return Allocate(bytes);
  }

  // A blank record at at, named by name (which may be null), counted in the storage.
  XmlElementRecord* InitRecord(void* at, char* name, bool is_declaration) {
    auto* r = static_cast<XmlElementRecord*>(at);
    // Copied from a blank record: zeroing it compiles to a slow string store.
    static constexpr XmlElementRecord kBlank{};
    std::memcpy(at, &kBlank, sizeof kBlank);
    r->name = name;
    r->is_declaration = is_declaration;
    r->storage = storage_;
    ++storage_->live_records;
    return r;
  }

  // Lists a record among the contents of the element on top of the stack.
  XmlElementRecord* AddChild(XmlElementRecord* r) {
    r->reference_count = 1;  // the parent's list
    XmlOpenElement& parent = open.back();
    r->parent = parent.record;
    ++parent.counts[kOrderChild];
    XmlPendingItem& item = items.emplace_back();
    item.stored = r;
    item.kind = kOrderChild;
    return r;
  }
  // Lists a stored text the same way.
  void AddText(char* text) {
    XmlPendingItem& item = items.emplace_back();
    item.stored = text;
    item.kind = kOrderText;
    ++open.back().counts[kOrderText];
  }
  // Opens an element whose attributes start at first_attribute on the attribute stack.
  void PushOpen(XmlElementRecord* record, const char* name, size_t name_length,
                size_t first_attribute) {
    XmlOpenElement& element = open.emplace_back();
    element.record = record;
    element.name = name;
    element.name_length = name_length;
    element.first_item = items.size();
    element.first_attribute = first_attribute;
    element.counts[0] = element.counts[1] = element.counts[2] = element.counts[3] = 0;
  }
  // Gives the element on top of the stack its arrays, at their exact sizes in one block, from
  // its pending contents and attributes, and closes it.
  void CloseTop() {
    const XmlOpenElement& element = open.back();
    if (items.size() == element.first_item) {
      // No contents (most elements): only attributes.
      size_t count = attributes.size() - element.first_attribute;
      if (count > 0) {
        SetAttributes(element.record, AllocateAligned(sizeof(XmlAttributeEntry) * count),
                      element.first_attribute, count);
      }
    } else {
      StoreContents();
    }
    open.pop_back();
  }

  std::vector<XmlOpenElement> open;
  std::vector<XmlPendingItem> items;
  std::vector<XmlAttributeEntry> attributes;

 private:
  char* NewBlock(size_t bytes);
  // Moves the stack's last count attributes (at least one), from first_attribute up, to
  // block, as r's.
  void SetAttributes(XmlElementRecord* r, char* block, size_t first_attribute, size_t count) {
    r->packed = true;
    r->attributes = reinterpret_cast<XmlAttributeEntry*>(block);
    r->attribute_count = static_cast<int32_t>(count);
    // Most elements have one attribute, which a plain assignment moves without a call.
    if (count == 1) {
      *r->attributes = attributes[first_attribute];
    } else {
      std::memcpy(r->attributes, &attributes[first_attribute], sizeof(XmlAttributeEntry) * count);
    }
    attributes.resize(first_attribute);
  }
  void StoreContents();

  XmlParseStorage* storage_ = nullptr;
  XmlElementRecord* document_ = nullptr;
  bool handed_over_ = false;
  char* next_ = nullptr;  // free bytes of the current block
  char* end_ = nullptr;
};
