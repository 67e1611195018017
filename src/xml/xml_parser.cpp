// The parser: it reads any text, as the tolerant grammar of the tool's and the packages'
// files has it. A tokenizer over positions in the caller's text, and an element parser that
// keeps its open elements on an explicit stack, so deep nesting cannot exhaust the machine
// stack. Then the required element, and the line and column of a status.
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "xml/xml_element.h"
#include "xml/xml_entities.h"

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
  int clear_row;   // for kVerbatim
  bool ampersand;  // for kQuoted: the value holds an "&"
};

// Where the parser stands in the start tag of the element on top of the stack.
enum class AttributePhase { kExpectName, kExpectAssign, kExpectValue };

bool EndsNameAt(char c) {
  return IsXmlSpace(c) || c == '/' || c == '<' || c == '=' || c == '>';
}

const char* SkipSpace(const char* p) {
  while (IsXmlSpace(*p)) ++p;
  return p;
}

// The closing quote of a quoted value starting at p, or the "<" or NUL where a value without
// one stops; *ampersand is set when the value holds an "&". quote '\0' scans a text run,
// which ends only at "<" or NUL.
const char* ScanQuoted(const char* p, char quote, bool* ampersand) {
  for (;;) {
    char c = *p;
    if (c == quote || c == '<' || c == '\0') return p;
    if (c == '&') {
      *ampersand = true;
      ++p;
    } else {
      p += CharLength(p);
    }
  }
}

// The row of the clear-tag table whose opening goes on at p, just after its "<", or -1.
int ClearRowAfter(const char* p) {
  for (int row = 0; row < static_cast<int>(std::size(kClearTags)); ++row) {
    const XmlClearTag& tag = kClearTags[row];
    if (std::strncmp(p, tag.opening + 1, tag.opening_length - 1) == 0) return row;
  }
  return -1;
}

// An open element, where its name is written in the text (null for the document), and
// where its children and document order start on the parser's stacks.
struct OpenTag {
  XmlElement* element;
  const char* name;
  size_t name_length;
  size_t first_child;
  size_t first_item;
};

// What the parser made of a text: the document element, an XmlStatus, and where a warning or
// error points.
struct Parsed {
  std::shared_ptr<XmlElement> document;
  int error;
  const char* position;
};

class GeneralParser {
 public:
  explicit GeneralParser(const char* text) : pos_(text) {}

  Parsed Run();

 private:
  Token NextToken();
  Token MarkupToken(Token token);
  bool NameMatches(const OpenTag& element, const char* text) const;
  const char* ScanWord();  // returns where the word ends
  void SkipToMarkup();
  bool FlushText(const char* end) { return pending_text_ == nullptr || StoreText(end); }
  bool StoreText(const char* end);
  bool DecodeRun(const char* start, size_t length, bool ampersand, std::string* out);
  bool ReadClearSection(int row);
  bool AppendValue(const Token& value);
  void AppendBareAttribute();
  void OpenElement(const char* name, size_t name_length, bool is_declaration);
  void SetAttributeName(const Token& token) {
    attribute_name_ = token.start;
    attribute_name_length_ = token.length;
  }
  XmlElement& Top() { return *open_.back().element; }
  void CloseTop();

  // Each handler returns false when parsing stops, having set error_ where it is one.
  bool BetweenTags(const Token& token);
  bool InStartTag(const Token& token);
  bool CloseElement();

  const char* pos_;
  std::shared_ptr<XmlElement> document_ = std::make_shared<XmlElement>();
  std::vector<OpenTag> open_;
  // The children and document order of the open elements, which each element takes at their
  // exact size when it closes.
  std::vector<std::shared_ptr<XmlElement>> children_;
  std::vector<XmlItem> items_;
  // Only the element on top of the stack can be in its start tag.
  bool in_start_tag_ = false;
  AttributePhase phase_ = AttributePhase::kExpectName;
  const char* attribute_name_ = nullptr;  // remembered name, a position in the text
  size_t attribute_name_length_ = 0;
  const char* pending_text_ = nullptr;
  bool text_ampersand_ = false;  // the run SkipToMarkup last scanned holds an "&"
  int error_ = 0;
  const char* last_unmatched_ = nullptr;
  const char* pending_end_ = nullptr;
  size_t pending_end_length_ = 0;  // 0: no pending end tag
};

// A name in the text matches an open element's when it starts with the element's name,
// ignoring ASCII case, and ends there. The byte-by-byte comparison stops at the first
// difference, so it never reads past the text's NUL.
inline bool GeneralParser::NameMatches(const OpenTag& element, const char* text) const {
  const char* name = element.name;
  if (name == nullptr) return false;
  size_t length = element.name_length;
  return EqualIgnoringCase(text, name, length) && EndsNameAt(text[length]);
}

const char* GeneralParser::ScanWord() {
  const char* p = pos_;
  for (;;) {
    char c = *p;
    if (c == '\0' || c == '<' || c == '>' || c == '=' || (c == '/' && p[1] == '>')) break;
    if (IsXmlSpace(c)) {
      pos_ = p + 1;  // the whitespace is consumed, not part of the word
      return p;
    }
    p += CharLength(p);
  }
  pos_ = p;
  return p;
}

// A token at "<", with token.start there and pos_ just after it.
inline Token GeneralParser::MarkupToken(Token token) {
  token.kind = TokenKind::kOpen;
  char next = *pos_;
  if (next == '/') {
    ++pos_;
    token.kind = TokenKind::kOpenEnd;
  } else if (next == '?') {
    ++pos_;
    token.kind = TokenKind::kOpenDecl;
  } else if (next == '!' || next == 'P') {
    int row = ClearRowAfter(pos_);
    if (row >= 0) {
      token.kind = TokenKind::kVerbatim;
      token.clear_row = row;
      pos_ = token.start + kClearTags[row].opening_length;
    }
  }
  token.length = static_cast<size_t>(pos_ - token.start);
  return token;
}

inline Token GeneralParser::NextToken() {
  pos_ = SkipSpace(pos_);
  Token token{TokenKind::kFinish, pos_, 0, 0, false};
  const char c = *pos_;
  if (c == '\0') return token;
  pos_ += CharLength(pos_);
  const char* end = nullptr;  // set by word scans, else the index after the token
  switch (c) {
    case '"':
    case '\'': {
      token.kind = TokenKind::kQuoted;
      const char* p = ScanQuoted(pos_, c, &token.ampersand);
      if (*p == c) {
        pos_ = p + 1;
      } else {
        // No closing quote: the rest reads as a word that starts with the quote.
        pos_ = token.start + 1;
        token.kind = TokenKind::kWord;
        end = ScanWord();
      }
      break;
    }
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
      return MarkupToken(token);
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
// tokenizer would. The pending run's leading whitespace is dropped on the way, and a run of
// nothing else is no run.
void GeneralParser::SkipToMarkup() {
  const char* p = SkipSpace(pos_);
  bool ampersand = false;
  if (*p != '<' && *p != '\0') {
    if (pending_text_ != nullptr) pending_text_ = p;
    p = ScanQuoted(p, '\0', &ampersand);
  } else {
    pending_text_ = nullptr;
  }
  text_ampersand_ = ampersand;
  pos_ = p;
}

// Stores the pending run up to end, trimmed.
bool GeneralParser::StoreText(const char* end) {
  const char* start = pending_text_;
  while (end > start && IsXmlSpace(end[-1])) --end;
  pending_text_ = nullptr;
  auto length = static_cast<size_t>(end - start);
  XmlElement& e = Top();
  size_t n = items_.size() - open_.back().first_item;
  // A comment between two texts disappears and the texts join.
  if (n >= 2 && items_.back() == XmlItem::kClear && items_[items_.size() - 2] == XmlItem::kText &&
      e.clears.back().opening == kClearTags[kCommentRow].opening) {
    if (!DecodeRun(start, length, text_ampersand_, &e.texts.back())) return false;
    e.clears.pop_back();
    items_.pop_back();
    return true;
  }
  std::string text;
  if (!DecodeRun(start, length, text_ampersand_, &text)) return false;
  e.texts.push_back(std::move(text));
  items_.push_back(XmlItem::kText);
  return true;
}

// Appends a run to out decoded when ampersand says it may hold a reference, up to the first
// NUL a reference to character 0 put there; false for a bad reference.
bool GeneralParser::DecodeRun(const char* start, size_t length, bool ampersand, std::string* out) {
  if (!ampersand) {
    out->append(start, length);
    return true;
  }
  size_t kept = out->size();
  XmlResult<void> decoded = AppendDecoded(start, length, out);
  if (!decoded) {
    // The text stays as it was: a tree repaired past the warning of a text without elements
    // still shows it.
    out->resize(kept);
    error_ = decoded.error().code;
    return false;
  }
  out->resize(kept + std::strlen(out->c_str() + kept));
  return true;
}

bool GeneralParser::ReadClearSection(int row) {
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
  size_t length = static_cast<size_t>(end - content);
  pos_ = end + std::strlen(closing);
  if (length > 0) {
    Top().clears.push_back(XmlClearSection{std::string(content, length), tag.opening, closing});
    items_.push_back(XmlItem::kClear);
  }
  return true;
}

void GeneralParser::AppendBareAttribute() {
  Top().attributes.push_back(
      XmlAttribute{std::string(attribute_name_, attribute_name_length_), std::string(), false});
}

bool GeneralParser::AppendValue(const Token& value) {
  const char* start = value.start;
  size_t length = value.length;
  if (Top().is_declaration && length > 0 && start[length - 1] == '?') {
    --length;
  }
  if (attribute_name_length_ == 0) return true;
  bool quoted = value.kind == TokenKind::kQuoted;
  if (quoted) {
    ++start;
    length -= 2;
  }
  // A word value is always measured: it may hold references the quoted scan would have seen.
  XmlAttribute attribute{std::string(attribute_name_, attribute_name_length_), std::string(), true};
  if (!DecodeRun(start, length, !quoted || value.ampersand, &attribute.value)) return false;
  Top().attributes.push_back(std::move(attribute));
  return true;
}

void GeneralParser::OpenElement(const char* name, size_t name_length, bool is_declaration) {
  auto element = std::make_shared<XmlElement>();
  element->name.assign(name, name_length);
  element->has_name = true;
  element->is_declaration = is_declaration;
  element->parent = &Top();
  XmlElement* opened = element.get();
  children_.push_back(std::move(element));
  items_.push_back(XmlItem::kChild);
  open_.push_back(OpenTag{opened, name, name_length, children_.size(), items_.size()});
  in_start_tag_ = true;
  phase_ = AttributePhase::kExpectName;
  attribute_name_length_ = 0;
}

void GeneralParser::CloseTop() {
  const OpenTag& tag = open_.back();
  XmlElement& e = *tag.element;
  auto first_child = children_.begin() + static_cast<std::ptrdiff_t>(tag.first_child);
  e.children.assign(std::make_move_iterator(first_child), std::make_move_iterator(children_.end()));
  children_.erase(first_child, children_.end());
  auto first_item = items_.begin() + static_cast<std::ptrdiff_t>(tag.first_item);
  e.order.assign(first_item, items_.end());
  items_.erase(first_item, items_.end());
  open_.pop_back();
}

// The element on top of the stack is closed; its parent goes on, or closes too when an end
// tag is still pending.
bool GeneralParser::CloseElement() {
  in_start_tag_ = false;
  for (;;) {
    CloseTop();
    if (open_.empty()) return false;  // the document itself closed: parsing ends
    if (pending_end_length_ == 0) return true;
    const OpenTag& element = open_.back();
    if (!element.element->has_name) {
      error_ = kXmlUnmatchedEndTag;
      return false;
    }
    if (NameMatches(element, pending_end_)) pending_end_length_ = 0;
  }
}

bool GeneralParser::BetweenTags(const Token& token) {
  switch (token.kind) {
    case TokenKind::kOpen:
    case TokenKind::kOpenDecl: {
      if (!FlushText(token.start)) return false;
      Token name = NextToken();
      if (name.kind != TokenKind::kWord) {
        error_ = kXmlMissingStartTagName;
        return false;
      }
      OpenElement(name.start, name.length, token.kind == TokenKind::kOpenDecl);
      return true;
    }
    case TokenKind::kOpenEnd: {
      if (!FlushText(token.start)) return false;
      Token name = NextToken();
      if (name.kind != TokenKind::kWord || NextToken().kind != TokenKind::kClose) {
        error_ = kXmlMissingEndTagName;
        return false;
      }
      pending_text_ = pos_;
      if (!NameMatches(open_.back(), name.start)) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
        pending_end_ = name.start;
        pending_end_length_ = name.length;
      }
      return CloseElement();
    }
    case TokenKind::kVerbatim:
      if (!FlushText(token.start)) return false;
      if (!ReadClearSection(token.clear_row)) return false;
      pending_text_ = pos_;
      return true;
    default:
      return true;  // text is collected through the pending run
  }
}

bool GeneralParser::InStartTag(const Token& token) {
  switch (phase_) {
    case AttributePhase::kExpectName:
      if (token.kind == TokenKind::kWord) {
        SetAttributeName(token);
        phase_ = AttributePhase::kExpectAssign;
        return true;
      }
      if (token.kind == TokenKind::kClose) {
        in_start_tag_ = false;
        pending_text_ = pos_;
        return true;
      }
      if (token.kind == TokenKind::kEmptyClose) {
        pending_text_ = pos_;
        return CloseElement();
      }
      break;
    case AttributePhase::kExpectAssign:
      if (token.kind == TokenKind::kWord) {
        AppendBareAttribute();
        SetAttributeName(token);
        return true;
      }
      if (token.kind == TokenKind::kClose || token.kind == TokenKind::kEmptyClose) {
        pending_text_ = pos_;
        bool closes = token.kind == TokenKind::kEmptyClose;
        // The final "?>" of a declaration: nested declarations (whose parent has a parent)
        // close like empty elements.
        if (Top().is_declaration && attribute_name_length_ > 0 &&
            attribute_name_[attribute_name_length_ - 1] == '?') {
          --attribute_name_length_;
          if (open_.size() > 2) closes = true;
        }
        if (attribute_name_length_ > 0) AppendBareAttribute();
        if (closes) return CloseElement();
        in_start_tag_ = false;
        return true;
      }
      if (token.kind == TokenKind::kAssign) {
        phase_ = AttributePhase::kExpectValue;
        return true;
      }
      break;
    case AttributePhase::kExpectValue:
      if (token.kind == TokenKind::kWord || token.kind == TokenKind::kQuoted) {
        if (!AppendValue(token)) return false;
        phase_ = AttributePhase::kExpectName;
        return true;
      }
      break;
  }
  error_ = kXmlUnexpectedToken;
  return false;
}

Parsed GeneralParser::Run() {
  open_.push_back(OpenTag{document_.get(), nullptr, 0, 0, 0});
  for (;;) {
    bool in_start_tag = in_start_tag_;
    Token token;
    if (in_start_tag) {
      token = NextToken();
    } else {
      SkipToMarkup();
      token = Token{TokenKind::kFinish, pos_, 0, 0, false};
      if (*pos_ != '\0') {
        ++pos_;
        token = MarkupToken(token);
      }
    }
    bool go_on = false;
    if (token.kind == TokenKind::kFinish) {
      if (!Top().is_declaration && open_.size() > 1) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
      }
      FlushText(pos_);
    } else {
      go_on = in_start_tag ? InStartTag(token) : BetweenTags(token);
    }
    if (!go_on) break;
  }
  // Elements still open keep what they have read so far.
  while (!open_.empty()) CloseTop();
  // Where to report the error: the last unmatched end tag for warning 1, else where parsing
  // stopped.
  return Parsed{document_, error_, error_ == kXmlWarningUnmatchedEndTag ? last_unmatched_ : pos_};
}

std::string LineAndColumn(const char* text, const char* position) {
  int line = 1;
  int column = 1;
  for (const char* p = text; p < position && *p != '\0'; p += CharLength(p)) {
    if (*p == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

XmlReading ReadXmlText(const char* text, const char* required_tag) {
  if (text == nullptr) return XmlReading{XmlNode(), MakeError(kXmlNoElements)};
  Parsed read = GeneralParser(text).Run();
  XmlNode document = NodeOf(std::move(read.document));
  int error = read.error;
  if (document.ChildCount() == 0) error = kXmlWarningNoTagFound;
  XmlNode candidate = document;
  if (document.ChildCount() == 1 && document.ElementCount() == 1) candidate = document.ChildAt(0);
  // Dropping the document's handle frees it (unless it is the candidate), which clears the
  // parent link of the element returned.
  document = XmlNode();
  if (error > kXmlWarningNoTagFound) {
    candidate = XmlNode();
  } else if (required_tag != nullptr && *required_tag != '\0' &&
             (candidate.Name() == nullptr ||
              !SameTextIgnoringCase(candidate.Name(), required_tag))) {
    candidate = candidate.FindChild(required_tag);
    if (candidate.IsNull()) return XmlReading{XmlNode(), MakeError(kXmlFirstTagNotFound)};
  }
  if (error == kXmlNoError) return XmlReading{candidate, Error<XmlStatus>{kXmlNoError, {}}};
  return XmlReading{candidate,
                    MakeError(static_cast<XmlStatus>(error), LineAndColumn(text, read.position))};
}
