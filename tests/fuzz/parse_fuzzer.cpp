// ParseText over arbitrary bytes, and over their UTF-8 conversion when they pass for UTF-16
// as a loaded file would: no crash, leak or undefined behaviour, and every query works on
// whatever comes back.
#include <cstddef>
#include <cstdint>
#include <string>

#include <cstdlib>

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
  XmlNode::Findings findings = XmlNode::ReadText(text.c_str(), nullptr);
  const XmlNode& node = findings.node;
  const XmlParseOutcome& outcome = findings.outcome;
  if (outcome.error < 0 || outcome.error > 16 || outcome.line < 0 || outcome.column < 0) {
    __builtin_trap();
  }
  Walk(node, 0);
  XmlNode required = XmlNode::ReadText(text.c_str(), "a").node;
  Walk(required, 0);

  // As the loader does: four NULs after the bytes, so a 16-bit text always ends.
  std::string padded = text + std::string(4, '\0');
  const auto* bytes = reinterpret_cast<const unsigned char*>(padded.data());
  if (LooksLikeUtf16(bytes, size)) {
    char* converted = Utf16ToUtf8(bytes);
    Walk(XmlNode::ReadText(converted, nullptr).node, 0);
    std::free(converted);
  }
  return 0;
}
