// The XML layer: a tolerant parser, an in-memory element tree reached through shared
// handles, and a writer with a fixed layout. Every XML file the utility reads or writes goes
// through it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "base/expected.h"

// Status of a load or save; the numbers are printed to users.
enum XmlStatus : int {
  kXmlNoError = 0,
  kXmlWarningUnmatchedEndTag = 1,
  kXmlWarningNoTagFound = 2,
  kXmlNoXmlData = 3,
  kXmlMissingStartTagName = 4,
  kXmlMissingEndTagName = 5,
  kXmlUnmatchedEndTag = 6,
  kXmlUnmatchedClearTagEnd = 7,
  kXmlUnexpectedToken = 8,
  kXmlNoElements = 9,
  kXmlFileNotFound = 10,
  kXmlFirstTagNotFound = 11,
  kXmlUnknownCharacterEntity = 12,
  kXmlCharacterCodeAbove255 = 13,
  kXmlWideCharConversion = 14,
  kXmlCannotOpenForWriting = 15,
  kXmlCannotWrite = 16,
  kXmlBase64LengthNotMultipleOf4 = 17,
  kXmlBase64IllegalCharacter = 18,
  kXmlBase64Truncated = 19,
  kXmlBase64BufferTooSmall = 20,
};
// A load's or save's result: its error's code is the status.
template <typename T>
using XmlResult = Expected<T, XmlStatus>;

// The fixed text of a status code; "Unknown" outside the table.
const char* XmlStatusText(int code);

struct XmlElement;

// A handle to an element shared with its parent and other handles, or the empty node. Every
// operation accepts the empty node and does nothing; queries then give null, 0 or false.
class XmlNode {
 public:
  XmlNode() = default;

  // Loading. The value is the required element (or, with no required tag, the parse's root),
  // parentless. Any status but kXmlNoError is an error, a warning too: Error.code is the
  // XmlStatus, Error.text where the parse stopped ("line 3, column 7") or empty.
  static XmlResult<XmlNode> LoadFile(const char* path, const char* required_tag);
  static XmlResult<XmlNode> ParseText(const char* text, const char* required_tag);
  // The same element repaired past a warning (an unmatched end tag, no tag found), for
  // readers that take such a tree (the substitute tool, tests); the empty node after an error.
  static XmlNode LoadRepaired(const char* path, const char* required_tag);
  static XmlNode ParseRepaired(const char* text, const char* required_tag);

  // Building.
  static XmlNode NewRoot(const char* name, bool is_declaration = false);
  void AppendAttribute(const char* name, const char* value);
  // position is an index in the document order of children, texts and clear sections; -1
  // (or past the end) appends. Gives the child, or the empty node when it would make a cycle.
  XmlNode AppendChild(XmlNode child, int position = -1);

  // Queries. Texts returned point into the tree and live as long as the element.
  bool IsNull() const { return element_ == nullptr; }
  bool IsDeclarationElement() const;
  const char* Name() const;
  int ChildCount() const;
  XmlNode ChildAt(int index) const;
  // Names compare ignoring ASCII case; cursor (may be null) walks through repeated matches.
  XmlNode FindChild(const char* name, int* cursor = nullptr) const;
  // Null both for an absent attribute and for one written without a value.
  const char* AttributeValue(const char* name, int* cursor = nullptr) const;
  int ElementCount() const;  // children + texts + clear sections + attributes

  // Writing; the empty node writes "".
  std::string ToText(bool formatted) const;
  // Byte order mark, header line when needed, then the text; an error whose code is
  // kXmlCannotOpenForWriting or kXmlCannotWrite.
  XmlResult<void> SaveFile(const char* path, bool formatted) const;
  // The same through a file the caller opened, which it still closes; kXmlCannotWrite.
  XmlResult<void> SaveTo(std::FILE* file, bool formatted) const;

 private:
  explicit XmlNode(std::shared_ptr<XmlElement> element) : element_(std::move(element)) {}

  // The element behind a node is the layer's own business: ElementOf and NodeOf are declared
  // in the layer's internal header, which no other layer sees.
  friend const std::shared_ptr<XmlElement>& ElementOf(const XmlNode& node);
  friend XmlNode NodeOf(std::shared_ptr<XmlElement> element);
  std::shared_ptr<XmlElement> element_;
};
