#include "xml/xml_tree_builder.h"

XmlTreeBuilder::~XmlTreeBuilder() {
  if (storage_ != nullptr && !handed_over_) FreeStorage(storage_);
}

void XmlTreeBuilder::Begin() {
  NewBlock(0);
  document_ = InitRecord(AllocateAligned(sizeof(XmlElementRecord)), nullptr, false);
  PushOpen(document_, nullptr, 0, 0);
}

XmlElementRecord* XmlTreeBuilder::Finish() {
  // Elements still open keep what they have read so far.
  while (!open.empty()) CloseTop();
  handed_over_ = true;
  return document_;
}

// Starts a new block, or gives a large piece a block of its own; the current block goes on
// taking small pieces.
char* XmlTreeBuilder::NewBlock(size_t bytes) {
  bool own = bytes > kStorageBlockBytes / 4;
  size_t header = sizeof(XmlStorageBlock) + (storage_ == nullptr ? sizeof(XmlParseStorage) : 0);
  size_t size = header + (own ? bytes : kStorageBlockBytes);
  auto* block = static_cast<XmlStorageBlock*>(XmlAllocate(size));
  char* start = reinterpret_cast<char*>(block) + header;
  if (storage_ == nullptr) {
    block->next = nullptr;
    storage_ = reinterpret_cast<XmlParseStorage*>(block + 1);
    storage_->live_records = 0;
    storage_->handles = 0;
    storage_->changed = false;
  } else {
    block->next = storage_->blocks;
  }
  storage_->blocks = block;
  if (own) return start;
  next_ = start + bytes;
  end_ = reinterpret_cast<char*>(block) + size;
  return start;
}

// Pointer-sized entries first, then the order list: each part stays aligned.
void XmlTreeBuilder::StoreContents() {
  const XmlOpenElement& element = open.back();
  XmlElementRecord* r = element.record;
  auto n = [](int32_t count) { return static_cast<size_t>(count); };
  int32_t children = element.counts[kOrderChild];
  int32_t texts = element.counts[kOrderText];
  int32_t clears = element.counts[kOrderClear];
  auto attribute_count = static_cast<int32_t>(attributes.size() - element.first_attribute);
  size_t bytes = sizeof(XmlElementRecord*) * n(children) + sizeof(char*) * n(texts) +
                 sizeof(XmlClearSection) * n(clears) +
                 sizeof(XmlAttributeEntry) * n(attribute_count) +
                 sizeof(int32_t) * (n(children) + n(texts) + n(clears));
  char* block = AllocateAligned(bytes);
  r->packed = true;
  r->child_count = children;
  r->text_count = texts;
  r->clear_count = clears;
  r->attribute_count = attribute_count;
  r->children = reinterpret_cast<XmlElementRecord**>(block);
  block += sizeof(XmlElementRecord*) * n(children);
  r->texts = reinterpret_cast<char**>(block);
  block += sizeof(char*) * n(texts);
  r->clears = reinterpret_cast<XmlClearSection*>(block);
  block += sizeof(XmlClearSection) * n(clears);
  r->attributes = reinterpret_cast<XmlAttributeEntry*>(block);
  if (attribute_count > 0) SetAttributes(r, block, element.first_attribute, n(attribute_count));
  block += sizeof(XmlAttributeEntry) * n(attribute_count);
  r->order = reinterpret_cast<int32_t*>(block);
  if (texts == 0 && clears == 0) {
    // Only elements (most contents): each one's order entry is its own index.
    const XmlPendingItem* pending = &items[element.first_item];
    for (int32_t i = 0; i < children; ++i) {
      r->order[i] = OrderEntry(i, kOrderChild);
      r->children[i] = static_cast<XmlElementRecord*>(const_cast<void*>(pending[i].stored));
    }
    items.resize(element.first_item);
    return;
  }
  int32_t next[4] = {0, 0, 0, 0};
  int32_t position = 0;
  for (size_t i = element.first_item; i < items.size(); ++i) {
    const XmlPendingItem& item = items[i];
    int32_t index = next[item.kind]++;
    r->order[position++] = OrderEntry(index, item.kind);
    if (item.kind == kOrderChild) {
      r->children[index] = static_cast<XmlElementRecord*>(const_cast<void*>(item.stored));
    } else if (item.kind == kOrderText) {
      r->texts[index] = static_cast<char*>(const_cast<void*>(item.stored));
    } else {
      // Sections are rare: a plain copy, terminated.
      char* content = Allocate(item.length + 1);
      std::memcpy(content, item.stored, item.length);
      content[item.length] = '\0';
      r->clears[index] = XmlClearSection{content, kClearTags[item.row].opening, item.closing};
    }
  }
  items.resize(element.first_item);
}
