// ParseText and ParseRepaired over arbitrary bytes, and over their UTF-8 conversion when they pass
// for UTF-16 as a loaded file would: no crash, leak or undefined behaviour, and every query works
// on whatever comes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/xml_node.h"
#include "xml/xml_wide.h"

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
  XmlResult<XmlNode> strict = XmlNode::ParseText(text.c_str(), nullptr);
  if (strict) {
    Walk(*strict, 0);
  } else if (strict.error().code <= 0 || strict.error().code > 16) {
    __builtin_trap();
  }
  Walk(XmlNode::ParseRepaired(text.c_str(), nullptr), 0);
  Walk(XmlNode::ParseRepaired(text.c_str(), "a"), 0);

  // As the loader does: four NULs after the bytes, so a 16-bit text always ends.
  std::string padded = text + std::string(4, '\0');
  const auto* bytes = reinterpret_cast<const unsigned char*>(padded.data());
  if (LooksLikeUtf16(bytes, size)) {
    Walk(XmlNode::ParseRepaired(Utf16ToUtf8(bytes).c_str(), nullptr), 0);
  }
  return 0;
}
