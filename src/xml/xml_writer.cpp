// The writer: one walk that runs twice, first measuring and then copying into a buffer of
// exactly the measured length, so a text takes one allocation and never grows.
#include <cstring>
#include <vector>

#include "xml/xml_node.h"
#include "xml/xml_record.h"

namespace {

// Counts bytes, and copies them too when given a buffer.
class Output {
 public:
  explicit Output(char* buffer) : buffer_(buffer) {}
  size_t length() const { return length_; }

  void Put(char c) {
    if (buffer_) buffer_[length_] = c;
    ++length_;
  }
  void Put(const char* text, size_t length) {
    if (buffer_) std::memcpy(buffer_ + length_, text, length);
    length_ += length;
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  void Tabs(int count) {
    for (int i = 0; i < count; ++i) Put('\t');
  }
  // The start tag always ends with a space, which the ending replaces or drops.
  void ReplaceLast(char c) {
    if (buffer_) buffer_[length_ - 1] = c;
  }
  void DropLast() { --length_; }

  void Escaped(const char* text) {
    while (*text != '\0') {
      const XmlEntity* entity = nullptr;
      for (const XmlEntity& e : kEntities) {
        if (*text == e.character) entity = &e;
      }
      if (entity != nullptr) {
        Put(entity->text, entity->length);
        ++text;
      } else {
        size_t step = CharLength(text);
        Put(text, step);
        text += step;
      }
    }
  }

 private:
  char* buffer_;
  size_t length_ = 0;
};

// Level: >= 0 formatted with that many tabs, -1 compact, -2 inline (single-text element).
struct Frame {
  const XmlElementRecord* element;
  int level;
  int child_level;
  int32_t next;  // next order entry to write
};

bool HasName(const XmlElementRecord* e) {
  return e->name != nullptr && e->name[0] != '\0';
}

Frame OpenElement(const XmlElementRecord* e, int level, Output& out) {
  int tabs = level >= 0 ? level : 0;
  int32_t n = OrderCount(*e);
  if (level >= 0 && n == 1 && OrderKind(e->order[0]) == kOrderText && !e->is_declaration) {
    level = -2;
  }
  bool named = HasName(e);
  if (named) {
    out.Tabs(tabs);
    out.Put('<');
    if (e->is_declaration) out.Put('?');
    out.Put(e->name);
    out.Put(' ');
    for (int32_t i = 0; i < e->attribute_count; ++i) {
      const XmlAttributeEntry& a = e->attributes[i];
      if (a.name[0] == '\0') continue;
      out.Put(a.name);
      if (a.value != nullptr) {
        out.Put('=');
        out.Put('"');
        out.Escaped(a.value);
        out.Put('"');
      }
      out.Put(' ');
    }
    if (e->is_declaration) {
      out.ReplaceLast('?');
      out.Put('>');
      if (level != -1) out.Put('\n');
    } else if (n > 0) {
      out.ReplaceLast('>');
      if (level >= 0) out.Put('\n');
    } else {
      out.DropLast();
    }
  }
  // A declaration's content follows it at its own level.
  int child_level = level == -1 ? -1 : (named && !e->is_declaration ? level + 1 : level);
  return Frame{e, level, child_level, 0};
}

void CloseElement(const Frame& f, Output& out) {
  const XmlElementRecord* e = f.element;
  if (!HasName(e) || e->is_declaration) return;
  if (OrderCount(*e) > 0) {
    if (f.level >= 0) out.Tabs(f.level);
    out.Put("</", 2);
    out.Put(e->name);
    out.Put('>');
  } else {
    out.Put("/>", 2);
  }
  if (f.level != -1) out.Put('\n');
}

void WriteText(const char* text, int level, Output& out) {
  if (text[0] == '\0') return;  // an empty text writes nothing, not even its line
  if (level >= 0) out.Tabs(level + 1);
  out.Escaped(text);
  if (level >= 0) out.Put('\n');
}

void WriteClear(const XmlClearSection& section, int level, Output& out) {
  if (section.opening[0] != '\0') {
    if (level != -1) out.Tabs(level + 1 > 0 ? level + 1 : 0);
    out.Put(section.opening);
  }
  out.Put(section.content);
  out.Put(section.closing);
  if (level != -1) out.Put('\n');
}

// Open elements of the walk: a small inline stack, spilling to the heap only for trees
// deeper than any this utility meets, so the walk normally allocates nothing.
class FrameStack {
 public:
  bool empty() const { return size_ == 0; }
  Frame& top() { return size_ <= kInline ? inline_[size_ - 1] : spill_.back(); }
  void push(const Frame& f) {
    if (size_ < kInline) {
      inline_[size_] = f;
    } else {
      spill_.push_back(f);
    }
    ++size_;
  }
  void pop() {
    if (size_ > kInline) spill_.pop_back();
    --size_;
  }

 private:
  static constexpr size_t kInline = 64;
  Frame inline_[kInline];
  std::vector<Frame> spill_;
  size_t size_ = 0;
};

void Serialise(const XmlElementRecord* root, int level, Output& out) {
  FrameStack stack;
  stack.push(OpenElement(root, level, out));
  while (!stack.empty()) {
    Frame& f = stack.top();
    const XmlElementRecord* e = f.element;
    if (f.next == OrderCount(*e)) {
      CloseElement(f, out);
      stack.pop();
      continue;
    }
    int32_t entry = e->order[f.next++];
    switch (OrderKind(entry)) {
      case kOrderText:
        WriteText(e->texts[OrderIndex(entry)], f.level, out);
        break;
      case kOrderClear:
        WriteClear(e->clears[OrderIndex(entry)], f.level, out);
        break;
      default: {
        const XmlElementRecord* child = e->children[OrderIndex(entry)];
        int child_level = f.child_level;
        stack.push(OpenElement(child, child_level, out));  // f may move; nothing uses it after
        break;
      }
    }
  }
}

}  // namespace

std::unique_ptr<char[]> XmlNode::ToText(bool formatted, int* length_out) const {
  if (length_out != nullptr) *length_out = 0;
  if (record_ == nullptr) return nullptr;
  int level = formatted ? 0 : -1;
  Output measure(nullptr);
  Serialise(record_, level, measure);
  std::unique_ptr<char[]> text(new char[measure.length() + 1]);
  Output write(text.get());
  Serialise(record_, level, write);
  text[write.length()] = '\0';
  if (length_out != nullptr) *length_out = static_cast<int>(write.length());
  return text;
}
