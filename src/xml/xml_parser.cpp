// The tolerant parser: a tokenizer over positions in the caller's text and an element parser
// that keeps its open elements on an explicit stack, so deep nesting cannot exhaust the
// machine stack.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "xml/xml_entities.h"
#include "xml/xml_node.h"
#include "xml/xml_record.h"

namespace {

enum class TokenKind {
  kWord,
  kQuoted,
  kOpen,        // <
  kOpenDecl,    // <?
  kOpenEnd,     // </
  kClose,       // >
  kEmptyClose,  // />
  kAssign,      // =
  kVerbatim,    // an opening of the clear-tag table
  kFinish,      // end of the text
};

struct Token {
  TokenKind kind;
  const char* start;
  size_t length;
  int clear_row;  // for kVerbatim
};

enum class AttributePhase { kExpectName, kExpectAssign, kExpectValue };

struct Frame {
  XmlElementRecord* element;
  bool in_start_tag;
  AttributePhase phase;
  const char* attribute_name;  // remembered name, a position in the text
  size_t attribute_name_length;
};

char* CopyBytes(const char* text, size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

bool EndsNameAt(char c) {
  return IsXmlSpace(c) || c == '/' || c == '<' || c == '=' || c == '>';
}

// A stored name matches a name in the text when the text starts with it, ignoring ASCII case,
// and the name ends there. The comparison stops at the first difference, so it never reads
// past the text's NUL.
bool NameMatches(const XmlElementRecord* element, const char* text) {
  if (element->name == nullptr) return false;
  size_t length = std::strlen(element->name);
  return EqualIgnoringCase(text, element->name, length) && EndsNameAt(text[length]);
}

class Parser {
 public:
  explicit Parser(const char* text) : pos_(text) {}

  void Run(XmlElementRecord* document);
  int error() const { return error_; }
  // Where to report the error: the last unmatched end tag for warning 1, else where parsing
  // stopped.
  const char* ErrorPosition() const { return error_ == 1 ? last_unmatched_ : pos_; }

 private:
  Token NextToken();
  const char* ScanWord();  // returns where the word ends
  void SkipToMarkup();
  bool FlushText(XmlElementRecord* element, const char* end);
  bool ReadClearSection(XmlElementRecord* element, int row);
  bool AppendValue(XmlElementRecord* element, const Frame& frame, const Token& value);
  static void AppendBareAttribute(XmlElementRecord* element, const Frame& frame);

  // Each handler returns false when parsing stops.
  bool BetweenTags(const Token& token);
  bool InStartTag(const Token& token);
  bool CloseFrame();

  const char* pos_;
  const char* pending_text_ = nullptr;
  int error_ = 0;
  const char* last_unmatched_ = nullptr;
  const char* pending_end_ = nullptr;
  size_t pending_end_length_ = 0;  // 0: no pending end tag
  std::vector<Frame> frames_;
};

const char* Parser::ScanWord() {
  for (;;) {
    char c = *pos_;
    if (c == '\0') return pos_;
    if (IsXmlSpace(c)) return pos_++;  // the whitespace is consumed, not part of the word
    if ((c == '/' && pos_[1] == '>') || c == '<' || c == '>' || c == '=') return pos_;
    pos_ += CharLength(pos_);
  }
}

Token Parser::NextToken() {
  while (IsXmlSpace(*pos_)) ++pos_;
  Token token{TokenKind::kFinish, pos_, 0, 0};
  const char* end = nullptr;  // set by word scans, else the index after the token
  const char c = *pos_;
  if (c == '\0') return token;
  pos_ += CharLength(pos_);
  switch (c) {
    case '"':
    case '\'':
      token.kind = TokenKind::kQuoted;
      for (;;) {
        char d = *pos_;
        if (d == c) {
          ++pos_;
          break;
        }
        if (d == '<' || d == '\0') {
          // No closing quote: the rest reads as a word that starts with the quote.
          pos_ = token.start + 1;
          token.kind = TokenKind::kWord;
          end = ScanWord();
          break;
        }
        pos_ += CharLength(pos_);
      }
      break;
    case '/':
      if (*pos_ == '>') {
        ++pos_;
        token.kind = TokenKind::kEmptyClose;
      } else {
        token.kind = TokenKind::kWord;
        end = ScanWord();
      }
      break;
    case '<':
      token.kind = TokenKind::kOpen;
      for (int row = 0; row < kClearTagCount; ++row) {
        const XmlClearTag& tag = kClearTags[row];
        if (std::strncmp(token.start, tag.opening, tag.opening_length) == 0) {
          token.kind = TokenKind::kVerbatim;
          token.clear_row = row;
          pos_ = token.start + tag.opening_length;
          break;
        }
      }
      if (token.kind == TokenKind::kOpen) {
        if (*pos_ == '/') {
          ++pos_;
          token.kind = TokenKind::kOpenEnd;
        } else if (*pos_ == '?') {
          ++pos_;
          token.kind = TokenKind::kOpenDecl;
        }
      }
      break;
    case '=':
      token.kind = TokenKind::kAssign;
      break;
    case '>':
      token.kind = TokenKind::kClose;
      break;
    default:
      token.kind = TokenKind::kWord;
      end = ScanWord();
      break;
  }
  if (end == nullptr) end = pos_;
  token.length = static_cast<size_t>(end - token.start);
  return token;
}

// Between tags every token but markup is ignored, and the text is collected through the
// pending run; stepping character by character to the next "<" visits the same positions the
// tokenizer would.
void Parser::SkipToMarkup() {
  for (;;) {
    unsigned char c = static_cast<unsigned char>(*pos_);
    if (c == '<' || c == '\0') return;
    pos_ += c < 0xC2 ? 1 : CharLength(pos_);
  }
}

bool Parser::FlushText(XmlElementRecord* element, const char* end) {
  if (pending_text_ == nullptr) return true;
  const char* start = pending_text_;
  while (start < end && IsXmlSpace(*start)) ++start;
  while (end > start && IsXmlSpace(end[-1])) --end;
  if (start == end) {
    pending_text_ = nullptr;
    return true;
  }
  // A comment between two texts disappears and the texts join.
  int32_t order_count = OrderCount(*element);
  bool merge = element->text_count > 0 && element->clear_count > 0 && order_count >= 2 &&
               OrderKind(element->order[order_count - 1]) == kOrderClear &&
               element->clears[OrderIndex(element->order[order_count - 1])].opening ==
                   kClearTags[kCommentRow].opening &&
               OrderKind(element->order[order_count - 2]) == kOrderText;
  const char* prefix = nullptr;
  if (merge) prefix = element->texts[OrderIndex(element->order[order_count - 2])];
  char* decoded = DecodeEntities(start, static_cast<size_t>(end - start), prefix, &error_);
  if (decoded == nullptr) return false;
  pending_text_ = nullptr;
  if (merge) {
    int32_t text_index = OrderIndex(element->order[order_count - 2]);
    RemoveLastClear(element);
    std::free(element->texts[text_index]);
    element->texts[text_index] = decoded;
  } else {
    AppendText(element, decoded, kArrayStep);
  }
  return true;
}

bool Parser::ReadClearSection(XmlElementRecord* element, int row) {
  const XmlClearTag& tag = kClearTags[row];
  const char* closing = tag.closing;
  const char* end = nullptr;
  if (row == kDoctypeRow) {
    // A "<" before the first ">" opens an internal subset, which ends at "]>".
    for (const char* p = pos_; *p != '\0'; p += CharLength(p)) {
      if (*p == '<') {
        closing = kInternalSubsetClosing;
        end = std::strstr(pos_, closing);
        break;
      }
      if (*p == '>') {
        end = p;
        break;
      }
    }
  } else {
    end = std::strstr(pos_, closing);
  }
  if (end == nullptr) {
    error_ = kXmlUnmatchedClearTagEnd;
    return false;
  }
  const char* content = pos_;
  pos_ = end + std::strlen(closing);
  if (end > content) {
    XmlClearSection section{CopyBytes(content, static_cast<size_t>(end - content)), tag.opening,
                            closing};
    AppendClear(element, section, kArrayStep);
  }
  return true;
}

void Parser::AppendBareAttribute(XmlElementRecord* element, const Frame& frame) {
  AppendAttributeEntry(element, CopyBytes(frame.attribute_name, frame.attribute_name_length),
                       nullptr, kArrayStep);
}

bool Parser::AppendValue(XmlElementRecord* element, const Frame& frame, const Token& value) {
  const char* start = value.start;
  size_t length = value.length;
  if (element->is_declaration && length > 0 && start[length - 1] == '?') --length;
  if (frame.attribute_name_length == 0) return true;
  if (value.kind == TokenKind::kQuoted) {
    ++start;
    length -= 2;
  }
  char* decoded = DecodeEntities(start, length, nullptr, &error_);
  if (decoded == nullptr) return false;
  AppendAttributeEntry(element, CopyBytes(frame.attribute_name, frame.attribute_name_length),
                       decoded, kArrayStep);
  return true;
}

// The element on top of the stack is closed; its parent goes on, or closes too when an end
// tag is still pending.
bool Parser::CloseFrame() {
  for (;;) {
    frames_.pop_back();
    if (frames_.empty()) return false;  // the document record itself closed: parsing ends
    if (pending_end_length_ == 0) return true;
    XmlElementRecord* element = frames_.back().element;
    if (element->name == nullptr) {
      error_ = kXmlUnmatchedEndTag;
      return false;
    }
    if (NameMatches(element, pending_end_)) pending_end_length_ = 0;
  }
}

bool Parser::BetweenTags(const Token& token) {
  XmlElementRecord* element = frames_.back().element;
  switch (token.kind) {
    case TokenKind::kOpen:
    case TokenKind::kOpenDecl: {
      if (!FlushText(element, token.start)) return false;
      Token name = NextToken();
      if (name.kind != TokenKind::kWord) {
        error_ = kXmlMissingStartTagName;
        return false;
      }
      XmlElementRecord* child =
          NewRecord(name.start, name.length, token.kind == TokenKind::kOpenDecl);
      AddReference(child);
      AppendChildRecord(element, child, kArrayStep);
      frames_.push_back(Frame{child, true, AttributePhase::kExpectName, nullptr, 0});
      return true;
    }
    case TokenKind::kOpenEnd: {
      if (!FlushText(element, token.start)) return false;
      Token name = NextToken();
      if (name.kind != TokenKind::kWord || NextToken().kind != TokenKind::kClose) {
        error_ = kXmlMissingEndTagName;
        return false;
      }
      pending_text_ = pos_;
      if (!NameMatches(element, name.start)) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
        pending_end_ = name.start;
        pending_end_length_ = name.length;
      }
      TrimArrays(element);
      return CloseFrame();
    }
    case TokenKind::kVerbatim:
      if (!FlushText(element, token.start)) return false;
      if (!ReadClearSection(element, token.clear_row)) return false;
      pending_text_ = pos_;
      return true;
    default:
      return true;  // text is collected through the pending run
  }
}

bool Parser::InStartTag(const Token& token) {
  Frame& frame = frames_.back();
  XmlElementRecord* element = frame.element;
  switch (frame.phase) {
    case AttributePhase::kExpectName:
      if (token.kind == TokenKind::kWord) {
        frame.attribute_name = token.start;
        frame.attribute_name_length = token.length;
        frame.phase = AttributePhase::kExpectAssign;
        return true;
      }
      if (token.kind == TokenKind::kClose) {
        frame.in_start_tag = false;
        pending_text_ = pos_;
        return true;
      }
      if (token.kind == TokenKind::kEmptyClose) {
        TrimArrays(element);
        pending_text_ = pos_;
        return CloseFrame();
      }
      break;
    case AttributePhase::kExpectAssign:
      if (token.kind == TokenKind::kWord) {
        AppendBareAttribute(element, frame);
        frame.attribute_name = token.start;
        frame.attribute_name_length = token.length;
        return true;
      }
      if (token.kind == TokenKind::kClose || token.kind == TokenKind::kEmptyClose) {
        pending_text_ = pos_;
        bool closes = token.kind == TokenKind::kEmptyClose;
        // The final "?>" of a declaration: nested declarations close like empty elements.
        if (element->is_declaration && frame.attribute_name_length > 0 &&
            frame.attribute_name[frame.attribute_name_length - 1] == '?') {
          --frame.attribute_name_length;
          if (element->parent != nullptr && element->parent->parent != nullptr) closes = true;
        }
        if (frame.attribute_name_length > 0) AppendBareAttribute(element, frame);
        if (closes) {
          TrimArrays(element);
          return CloseFrame();
        }
        frame.in_start_tag = false;
        return true;
      }
      if (token.kind == TokenKind::kAssign) {
        frame.phase = AttributePhase::kExpectValue;
        return true;
      }
      break;
    case AttributePhase::kExpectValue:
      if (token.kind == TokenKind::kWord || token.kind == TokenKind::kQuoted) {
        if (!AppendValue(element, frame, token)) return false;
        frame.phase = AttributePhase::kExpectName;
        return true;
      }
      break;
  }
  error_ = kXmlUnexpectedToken;
  return false;
}

void Parser::Run(XmlElementRecord* document) {
  frames_.push_back(Frame{document, false, AttributePhase::kExpectName, nullptr, 0});
  for (;;) {
    if (!frames_.back().in_start_tag) SkipToMarkup();
    Token token = NextToken();
    if (token.kind == TokenKind::kFinish) {
      XmlElementRecord* element = frames_.back().element;
      if (!element->is_declaration && element->parent != nullptr) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
      }
      FlushText(element, pos_);
      return;
    }
    bool go_on = frames_.back().in_start_tag ? InStartTag(token) : BetweenTags(token);
    if (!go_on) return;
  }
}

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
  if (results == nullptr) return;
  results->error = error;
  results->line = line;
  results->column = column;
}

}  // namespace

XmlNode XmlNode::ParseText(const char* text, const char* required_tag, XmlParseOutcome* results) {
  if (text == nullptr) {
    SetOutcome(results, kXmlNoElements, 0, 0);
    return XmlNode();
  }
  XmlNode document(NewRecord(nullptr, 0, false));
  Parser parser(text);
  parser.Run(document.record());

  int error = parser.error();
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
  if (error != kXmlNoError) LineAndColumn(text, parser.ErrorPosition(), &line, &column);
  SetOutcome(results, error, line, column);
  return candidate;
}
