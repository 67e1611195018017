// The writer: one walk over the tree with an explicit stack, so a deep tree cannot exhaust
// the machine stack.
#include <string>
#include <vector>

#include "xml/xml_element.h"
#include "xml/xml_node.h"

namespace {

void Escaped(const std::string& text, std::string& out) {
  for (const char* p = text.c_str(); *p != '\0';) {
    const XmlEntity* entity = nullptr;
    for (const XmlEntity& e : kEntities) {
      if (*p == e.character) entity = &e;
    }
    if (entity != nullptr) {
      out.append(entity->text, entity->length);
      ++p;
    } else {
      size_t step = CharLength(p);
      out.append(p, step);
      p += step;
    }
  }
}

// Level: >= 0 formatted with that many tabs, -1 compact, -2 inline (single-text element).
struct Frame {
  const XmlElement* element;
  int level;
  int child_level;
  size_t next = 0;  // next entry of the document order to write
  size_t next_child = 0;
  size_t next_text = 0;
  size_t next_clear = 0;
};

bool HasName(const XmlElement& e) {
  return e.has_name && !e.name.empty();
}

Frame OpenElement(const XmlElement& e, int level, std::string& out) {
  auto tabs = static_cast<size_t>(level >= 0 ? level : 0);
  size_t n = e.order.size();
  if (level >= 0 && n == 1 && e.order[0] == XmlItem::kText && !e.is_declaration) level = -2;
  bool named = HasName(e);
  if (named) {
    out.append(tabs, '\t');
    out += e.is_declaration ? "<?" : "<";
    out += e.name;
    out += ' ';
    for (const XmlAttribute& a : e.attributes) {
      if (a.name.empty()) continue;
      out += a.name;
      if (a.has_value) {
        out += "=\"";
        Escaped(a.value, out);
        out += '"';
      }
      out += ' ';
    }
    // The start tag ends with a space so far, which the ending replaces or drops.
    if (e.is_declaration) {
      out.back() = '?';
      out += '>';
      if (level != -1) out += '\n';
    } else if (n > 0) {
      out.back() = '>';
      if (level >= 0) out += '\n';
    } else {
      out.pop_back();
    }
  }
  // A declaration's content follows it at its own level.
  int child_level = level == -1 ? -1 : (named && !e.is_declaration ? level + 1 : level);
  return Frame{&e, level, child_level};
}

void CloseElement(const Frame& f, std::string& out) {
  const XmlElement& e = *f.element;
  if (!HasName(e) || e.is_declaration) return;
  if (!e.order.empty()) {
    if (f.level >= 0) out.append(static_cast<size_t>(f.level), '\t');
    out += "</";
    out += e.name;
    out += '>';
  } else {
    out += "/>";
  }
  if (f.level != -1) out += '\n';
}

void WriteText(const std::string& text, int level, std::string& out) {
  if (text.empty()) return;  // an empty text writes nothing, not even its line
  if (level >= 0) out.append(static_cast<size_t>(level + 1), '\t');
  Escaped(text, out);
  if (level >= 0) out += '\n';
}

void WriteClear(const XmlClearSection& section, int level, std::string& out) {
  if (section.opening[0] != '\0') {
    if (level != -1) out.append(static_cast<size_t>(level + 1 > 0 ? level + 1 : 0), '\t');
    out += section.opening;
  }
  out += section.content;
  out += section.closing;
  if (level != -1) out += '\n';
}

}  // namespace

std::string XmlNode::ToText(bool formatted) const {
  std::string out;
  if (element_ == nullptr) return out;
  std::vector<Frame> stack{OpenElement(*element_, formatted ? 0 : -1, out)};
  while (!stack.empty()) {
    Frame& f = stack.back();
    const XmlElement& e = *f.element;
    if (f.next == e.order.size()) {
      CloseElement(f, out);
      stack.pop_back();
      continue;
    }
    switch (e.order[f.next++]) {
      case XmlItem::kText:
        WriteText(e.texts[f.next_text++], f.level, out);
        break;
      case XmlItem::kClear:
        WriteClear(e.clears[f.next_clear++], f.level, out);
        break;
      case XmlItem::kChild: {
        const XmlElement& child = *e.children[f.next_child++];
        int child_level = f.child_level;
        stack.push_back(OpenElement(child, child_level, out));  // f may move; unused after
        break;
      }
    }
  }
  return out;
}
