// The common-shape reader: one loop, its position in a local, for the shapes that the reports
// and catalogs the utility reads are made of. It reads a private copy of the text in the
// parse's storage, where names, values and texts stay: each is terminated in place once the
// byte after it has been read, so nothing is copied piece by piece.
//
// What it accepts. S is a run of spaces, tabs, line feeds and carriage returns. A name is a
// name byte other than a quote, then as many name bytes as follow, where a name byte is any
// but NUL, S, "/", "<", "=", ">" and the lead bytes 0xC2 to 0xF4 of longer characters (so
// "?" is one, and "<?xml?>" is a declaration named "xml?"). A value or a text is characters
// other than NUL and "<" (and the value's quote) whose references decode.
//
//   document    := S? (text? S? tag S?)* text?   text before the first tag is dropped
//   tag         := start | declaration | end
//   start       := "<" name attributes S? (">" | "/>")
//   declaration := "<?" name attributes S? (">" | "/>" | "?>")    "?>" not right after name
//   attributes  := (S attribute (S? attribute)*)?
//   attribute   := name S? "=" S? ('"' value '"' | "'" value "'")
//   end         := "</" name S? ">"    the innermost open element's name, byte for byte
//
// "/>" closes its element at once, and so does a declaration's "?>" inside an element; a
// declaration at the top stays open and holds what follows. At the end the innermost element
// still open, if any, is a declaration. Texts are trimmed. "<!" (comments, sections, document
// types) and "<PRE>" are not common shapes.
//
// What it hands to the general parser: a text it accepts never reaches it; the tree is the
// one the general parser would build, with status 0, or 2 (no element) pointing at the text's
// end. On anything else (a byte where the grammar has none, a reference that does not decode,
// an end tag naming another element, a comment or section, an element left open) it gives up
// and frees what it made, and the general parser reads the whole text from its start: every
// other status, line and column comes from there.
#include <cstring>

#include "xml/xml_entities.h"
#include "xml/xml_readers.h"
#include "xml/xml_record.h"
#include "xml/xml_scan.h"
#include "xml/xml_tree_builder.h"

namespace {

class CommonShapeReader {
 public:
  CommonShapeReader(const char* text, size_t length) : text_(text), length_(length) {}

  // The document record, or null when the text is not made of the common shapes.
  XmlElementRecord* Run();

 private:
  bool StoreTextInPlace(char* start, char* end, bool ampersand);

  const char* const text_;
  const size_t length_;
  XmlTreeBuilder tree_;
};

// A text of the copy from start up to end, trimmed, decoded and terminated where it lies.
inline bool CommonShapeReader::StoreTextInPlace(char* start, char* end, bool ampersand) {
  while (end > start && IsXmlSpace(end[-1])) --end;
  if (ampersand) {
    int error = 0;
    ptrdiff_t decoded = DecodeInPlace(start, static_cast<size_t>(end - start), &error);
    if (decoded < 0) return false;
    end = start + decoded;
  }
  *end = '\0';
  tree_.AddText(start);
  return true;
}

XmlElementRecord* CommonShapeReader::Run() {
  tree_.Begin();
  char* const copy = tree_.Allocate(length_ + 1);
  std::memcpy(copy, text_, length_ + 1);
  const char* const limit = copy + length_;
  // Positions found by the scanners, in the copy, to write to.
  auto own = [copy](const char* at) { return copy + (at - copy); };
  XmlStack<XmlOpenElement, 16>& open = tree_.open;
  const char* p = copy;
  bool after_tag = false;  // text before the first tag is dropped
  for (;;) {
    p = SpaceRun(p);
    if (*p != '<') {
      if (*p == '\0') break;
      const char* start = p;
      bool ampersand = false;
      p = ScanText(p, limit, &ampersand);
      // The run may end at the "<" that follows, which the markup below does not read again.
      if (after_tag && !StoreTextInPlace(own(start), own(p), ampersand)) return nullptr;
      if (p == limit) break;
    }
    after_tag = true;
    const char next = p[1];
    if (next == '/') {
      const char* name = p + 2;
      if (open.size() == 1 || !kXmlBytes.name_start[Byte(name)]) return nullptr;
      const char* end = WordRun(name + 1);
      const XmlOpenElement& element = open.back();
      if (static_cast<size_t>(end - name) != element.name_length ||
          !SameBytes(name, element.name, element.name_length, limit)) {
        return nullptr;
      }
      p = IsXmlSpace(*end) ? SpaceRun(end + 1) : end;
      if (*p != '>') return nullptr;
      ++p;
      tree_.CloseTop();
      continue;
    }
    if (next == '!' || (next == 'P' && ClearRowAfter(p + 1) >= 0)) return nullptr;
    const bool declaration = next == '?';
    const char* name = p + (declaration ? 2 : 1);
    if (!kXmlBytes.name_start[Byte(name)]) return nullptr;
    const char* name_end = WordRun(name + 1);
    const size_t first_attribute = tree_.attributes.size();
    p = name_end;
    if (IsXmlSpace(*p)) {
      for (p = SpaceRun(p + 1); kXmlBytes.name_start[Byte(p)]; p = SpaceRun(p)) {
        const char* attribute = p;
        const char* attribute_end = WordRun(p + 1);
        p = IsXmlSpace(*attribute_end) ? SpaceRun(attribute_end + 1) : attribute_end;
        if (*p != '=') {
          // The "?>" that ends a declaration.
          if (declaration && *attribute == '?' && attribute_end == attribute + 1 && *p == '>') {
            p = attribute;
            break;
          }
          return nullptr;
        }
        p = SpaceRun(p + 1);
        const char quote = *p;
        if (quote != '"' && quote != '\'') return nullptr;
        const char* value = ++p;
        bool ampersand = false;
        p = ScanQuoted(value, limit, quote, &ampersand, true);
        if (*p != quote) return nullptr;
        char* stored = own(value);
        if (ampersand) {
          int error = 0;
          ptrdiff_t decoded = DecodeInPlace(stored, static_cast<size_t>(p - value), &error);
          if (decoded < 0) return nullptr;
          stored[decoded] = '\0';
        }
        *own(p) = '\0';
        *own(attribute_end) = '\0';
        PutAttribute(&tree_.attributes.Push(), own(attribute), stored);
        ++p;
      }
    }
    bool closes;
    if (*p == '>') {
      closes = false;
      p += 1;
    } else if ((*p == '/' || *p == '?') && p[1] == '>') {
      // A nested declaration closes like an empty element; one in the document stays open.
      closes = *p == '/' || open.size() > 1;
      p += 2;
    } else {
      return nullptr;
    }
    const auto name_length = static_cast<size_t>(name_end - name);
    *own(name_end) = '\0';
    if (closes) {
      tree_.AddChild(tree_.NewEmptyRecord(own(name), declaration, first_attribute));
    } else {
      XmlElementRecord* r = tree_.AddChild(tree_.NewRecordNamed(own(name), declaration));
      tree_.PushOpen(r, name, name_length, first_attribute);
    }
  }
  if (open.size() > 1 && !open.back().record->is_declaration) return nullptr;
  return tree_.Finish();
}

}  // namespace

XmlRead ReadCommonShapes(const char* text, size_t length) {
  // Parsing stopped at the end of the caller's text, where a warning for a text without
  // elements points.
  return XmlRead{CommonShapeReader(text, length).Run(), kXmlNoError, text + length};
}
