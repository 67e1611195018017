// The parser against the reference copy of its earlier version: for any input, with and
// without a required tag, the same tree, status code, line and column.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reference/reference_parser.h"
#include "xml/xml_record.h"
#include "xml/xml_test_support.h"

namespace {

// Every record below the root is held once, by its parent, and points back to it.
bool Linked(const XmlElementRecord* r) {
  for (int32_t i = 0; i < r->child_count; ++i) {
    const XmlElementRecord* child = r->children[i];
    if (child->parent != r || child->reference_count != 1 || !Linked(child)) return false;
  }
  return true;
}

void Compare(const std::string& text, const char* required_tag) {
  XmlParseOutcome expected{-1, -1, -1};
  XmlElementRecord* want = reference::ParseText(text.c_str(), required_tag, &expected);
  XmlNode::Findings findings = XmlNode::ReadText(text.c_str(), required_tag);
  const XmlParseOutcome& actual = findings.outcome;
  const XmlNode& got = findings.node;
  std::string want_tree = test::Describe(want);
  std::string got_tree = test::Describe(got);
  reference::Free(want);
  if (actual.error != expected.error || actual.line != expected.line ||
      actual.column != expected.column || got_tree != want_tree) {
    std::fprintf(stderr, "reference %d %d:%d %s\nparser    %d %d:%d %s\n", expected.error,
                 expected.line, expected.column, want_tree.c_str(), actual.error, actual.line,
                 actual.column, got_tree.c_str());
    std::abort();
  }
  if (!got.IsNull() && (RecordOf(got)->parent != nullptr || !Linked(RecordOf(got)))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  Compare(text, nullptr);
  Compare(text, "a");
  return 0;
}
