// Reading a text: the general parser (xml_general_parser.cpp), then the required element.
#include "xml/xml_parser.h"
#include "xml/xml_node.h"
#include "xml/xml_record.h"

namespace {

void LineAndColumn(const char* text, const char* position, int* line, int* column) {
  *line = 1;
  *column = 1;
  for (const char* p = text; p < position && *p != '\0'; p += CharLength(p)) {
    if (*p == '\n') {
      ++*line;
      *column = 1;
    } else {
      ++*column;
    }
  }
}

void SetOutcome(XmlParseOutcome* results, int error, int line, int column) {
  results->error = error;
  results->line = line;
  results->column = column;
}

XmlNode ReadRequired(const char* text, const char* required_tag, XmlParseOutcome* results) {
  if (text == nullptr) {
    SetOutcome(results, kXmlNoElements, 0, 0);
    return XmlNode();
  }
  XmlRead read = ReadGeneral(text);
  XmlNode document = NodeOf(read.document);

  int error = read.error;
  if (document.ChildCount() == 0) error = kXmlWarningNoTagFound;
  XmlNode candidate = document;
  if (document.ChildCount() == 1 && document.ElementCount() == 1) candidate = document.ChildAt(0);
  // Dropping the document's handle frees it (unless it is the candidate), which clears the
  // parent link of the element returned.
  document = XmlNode();

  if (error <= kXmlWarningNoTagFound) {
    if (required_tag != nullptr && *required_tag != '\0' &&
        (candidate.Name() == nullptr || !SameTextIgnoringCase(candidate.Name(), required_tag))) {
      candidate = candidate.FindChild(required_tag);
      if (candidate.IsNull()) {
        SetOutcome(results, kXmlFirstTagNotFound, 0, 0);
        return XmlNode();
      }
    }
  } else {
    candidate = XmlNode();
  }
  int line = 0;
  int column = 0;
  if (error != kXmlNoError) LineAndColumn(text, read.error_position, &line, &column);
  SetOutcome(results, error, line, column);
  return candidate;
}

}  // namespace

XmlNode::Findings XmlNode::ReadText(const char* text, const char* required_tag) {
  Findings findings;
  findings.node = ReadRequired(text, required_tag, &findings.outcome);
  return findings;
}
