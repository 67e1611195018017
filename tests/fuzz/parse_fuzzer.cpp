// ParseText over arbitrary bytes: no crash, leak or undefined behaviour, and every query
// works on whatever comes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/xml_node.h"

namespace {

void Walk(const XmlNode& node, int depth) {
  if (depth > 64) return;
  (void)node.Name();
  (void)node.ElementCount();
  (void)node.AttributeValue("value");
  int cursor = 0;
  while (!node.FindChild("a", &cursor).IsNull()) {
  }
  for (int i = 0; i < node.ChildCount(); ++i) Walk(node.ChildAt(i), depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  XmlParseOutcome outcome;
  XmlNode node = XmlNode::ParseText(text.c_str(), nullptr, &outcome);
  if (outcome.error < 0 || outcome.error > 16 || outcome.line < 0 || outcome.column < 0) {
    __builtin_trap();
  }
  Walk(node, 0);
  XmlNode required = XmlNode::ParseText(text.c_str(), "a", nullptr);
  Walk(required, 0);
  return 0;
}
