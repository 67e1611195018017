// The parser against the reference copy of its earlier version: for any input, with and
// without a required tag, the same tree, status code, line and column.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reference/reference_parser.h"
#include "xml/xml_element.h"
#include "xml/xml_test_support.h"

namespace {

// Every element below the root is held once, by its parent, and points back to it.
bool Linked(const XmlElement& e) {
  for (const std::shared_ptr<XmlElement>& child : e.children) {
    if (child->parent != &e || child.use_count() != 1 || !Linked(*child)) return false;
  }
  return true;
}

void Compare(const std::string& text, const char* required_tag) {
  reference::XmlParseOutcome expected{-1, -1, -1};
  reference::XmlElementRecord* want = reference::ParseText(text.c_str(), required_tag, &expected);
  test::Parsed parsed = test::Parse(text.c_str(), required_tag);
  const test::Outcome& actual = parsed.outcome;
  // The strict call gives no tree past a warning; the repaired one gives it.
  const XmlNode& got = parsed.node;
  std::string want_tree = reference::Describe(want);
  std::string got_tree = test::Describe(got);
  reference::Free(want);
  if (actual.error != expected.error || actual.line != expected.line ||
      actual.column != expected.column || got_tree != want_tree) {
    std::fprintf(stderr, "reference %d %d:%d %s\nparser    %d %d:%d %s\n", expected.error,
                 expected.line, expected.column, want_tree.c_str(), actual.error, actual.line,
                 actual.column, got_tree.c_str());
    std::abort();
  }
  if (!got.IsNull() && (ElementOf(got)->parent != nullptr || !Linked(*ElementOf(got)))) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  Compare(text, nullptr);
  Compare(text, "a");
  return 0;
}
