#include "xml/xml_node.h"

#include <iterator>
#include <utility>

#include "xml/xml_element.h"

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

// The position in parent's document order of its child at index.
size_t OrderPositionOfChild(const XmlElement& parent, size_t index) {
  size_t position = 0;
  for (size_t seen = 0;; ++position) {
    if (parent.order[position] == XmlItem::kChild && seen++ == index) return position;
  }
}

// Takes an element out of its parent (the caller holds it) and gives the position it had.
size_t Detach(XmlElement* child) {
  XmlElement& parent = *child->parent;
  size_t index = 0;
  while (parent.children[index].get() != child) ++index;
  size_t position = OrderPositionOfChild(parent, index);
  parent.children.erase(parent.children.begin() + static_cast<std::ptrdiff_t>(index));
  parent.order.erase(parent.order.begin() + static_cast<std::ptrdiff_t>(position));
  child->parent = nullptr;
  return position;
}

void Insert(XmlElement* parent, std::shared_ptr<XmlElement> child, int position) {
  size_t count = parent->order.size();
  size_t at =
      position < 0 || static_cast<size_t>(position) > count ? count : static_cast<size_t>(position);
  // The child's index among the elements is the number of elements before it.
  size_t index = 0;
  for (size_t i = 0; i < at; ++i) index += parent->order[i] == XmlItem::kChild;
  child->parent = parent;
  parent->order.insert(parent->order.begin() + static_cast<std::ptrdiff_t>(at), XmlItem::kChild);
  parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(index),
                          std::move(child));
}

bool IsSelfOrAncestor(const XmlElement* candidate, const XmlElement* e) {
  for (; e != nullptr; e = e->parent) {
    if (e == candidate) return true;
  }
  return false;
}

}  // namespace

// Children nobody else holds are taken apart here one by one rather than by their own
// destructors, so that freeing a deep tree does not recurse.
XmlElement::~XmlElement() {
  std::vector<std::shared_ptr<XmlElement>> dying = std::move(children);
  while (!dying.empty()) {
    std::shared_ptr<XmlElement> e = std::move(dying.back());
    dying.pop_back();
    e->parent = nullptr;
    if (e.use_count() > 1) continue;
    for (std::shared_ptr<XmlElement>& child : e->children) dying.push_back(std::move(child));
    e->children.clear();
  }
}

const std::shared_ptr<XmlElement>& ElementOf(const XmlNode& node) {
  return node.element_;
}

XmlNode NodeOf(std::shared_ptr<XmlElement> element) {
  return XmlNode(std::move(element));
}

const char* XmlStatusText(int code) {
  if (code < 0 || code >= static_cast<int>(std::size(kStatusTexts))) return "Unknown";
  return kStatusTexts[code];
}

XmlNode XmlNode::NewRoot(const char* name, bool is_declaration) {
  auto element = std::make_shared<XmlElement>();
  element->has_name = name != nullptr;
  if (name != nullptr) element->name = name;
  element->is_declaration = is_declaration;
  return XmlNode(std::move(element));
}

void XmlNode::AppendAttribute(const char* name, const char* value) {
  if (element_ == nullptr || name == nullptr) return;
  element_->attributes.push_back(XmlAttribute{name, value ? value : "", value != nullptr});
}

XmlNode XmlNode::AppendChild(XmlNode child, int position) {
  XmlElement* c = child.element_.get();
  if (element_ == nullptr || c == nullptr) return child;
  // Attaching an element under itself or its own descendant would make a cycle.
  if (IsSelfOrAncestor(c, element_.get())) return XmlNode();
  if (!c->has_name) {
    // A document element is not attached itself: its children move instead.
    while (!c->children.empty()) {
      AppendChild(XmlNode(c->children[0]), position);
      if (position >= 0) ++position;
    }
    return child;
  }
  if (c->parent != nullptr) {
    bool same_parent = c->parent == element_.get();
    size_t old_position = Detach(c);
    // Within one parent, the position counts as if the child were already gone.
    if (same_parent && position >= 0 && old_position <= static_cast<size_t>(position)) --position;
  }
  Insert(element_.get(), child.element_, position);
  return child;
}

bool XmlNode::IsDeclarationElement() const {
  return element_ != nullptr && element_->is_declaration;
}

const char* XmlNode::Name() const {
  return element_ && element_->has_name ? element_->name.c_str() : nullptr;
}

int XmlNode::ChildCount() const {
  return element_ ? static_cast<int>(element_->children.size()) : 0;
}

XmlNode XmlNode::ChildAt(int index) const {
  if (element_ == nullptr || index < 0 || index >= ChildCount()) return XmlNode();
  return XmlNode(element_->children[static_cast<size_t>(index)]);
}

XmlNode XmlNode::FindChild(const char* name, int* cursor) const {
  if (element_ == nullptr || name == nullptr) return XmlNode();
  for (int i = (cursor != nullptr && *cursor > 0) ? *cursor : 0; i < ChildCount(); ++i) {
    const XmlElement& child = *element_->children[static_cast<size_t>(i)];
    if (child.has_name && SameTextIgnoringCase(child.name.c_str(), name)) {
      if (cursor != nullptr) *cursor = i + 1;
      return ChildAt(i);
    }
  }
  return XmlNode();
}

const char* XmlNode::AttributeValue(const char* name, int* cursor) const {
  if (element_ == nullptr || name == nullptr) return nullptr;
  const std::vector<XmlAttribute>& attributes = element_->attributes;
  for (size_t i = (cursor != nullptr && *cursor > 0) ? static_cast<size_t>(*cursor) : 0;
       i < attributes.size(); ++i) {
    if (SameTextIgnoringCase(attributes[i].name.c_str(), name)) {
      if (cursor != nullptr) *cursor = static_cast<int>(i + 1);
      return attributes[i].has_value ? attributes[i].value.c_str() : nullptr;
    }
  }
  return nullptr;
}

int XmlNode::ElementCount() const {
  if (element_ == nullptr) return 0;
  const XmlElement& e = *element_;
  return static_cast<int>(e.children.size() + e.texts.size() + e.clears.size() +
                          e.attributes.size());
}
