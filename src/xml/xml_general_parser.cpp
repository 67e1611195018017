// The general parser: it reads any text, as the tolerant grammar of the tool's and the
// packages' files has it. A tokenizer over positions in the caller's text, and an element
// parser that keeps its open elements on an explicit stack, so deep nesting cannot exhaust
// the machine stack. It copies every name, value and text into the parse's storage as it
// reads it, and it alone gives status codes, lines and columns.
#include <cstdint>
#include <cstring>
#include <vector>

#include "xml/xml_entities.h"
#include "xml/xml_parser.h"
#include "xml/xml_record.h"
#include "xml/xml_tree_builder.h"

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
  for (int row = 0; row < kClearTagCount; ++row) {
    const XmlClearTag& tag = kClearTags[row];
    if (std::strncmp(p, tag.opening + 1, tag.opening_length - 1) == 0) return row;
  }
  return -1;
}

class GeneralParser {
 public:
  explicit GeneralParser(const char* text) : pos_(text) {}

  XmlRead Run();

 private:
  Token NextToken();
  Token MarkupToken(Token token);
  bool NameMatches(const XmlOpenElement& element, const char* text) const;
  void Decode(const char* text, size_t length, size_t decoded_length, char* out);
  const char* ScanWord();  // returns where the word ends
  void SkipToMarkup();
  bool FlushText(const char* end) { return pending_text_ == nullptr || StoreText(end); }
  bool StoreText(const char* end);
  bool JoinText(const char* start, size_t length, size_t decoded);
  bool ReadClearSection(int row);
  bool AppendValue(const Token& value);
  void AppendBareAttribute();
  void OpenElement(const char* name, size_t name_length, bool is_declaration);
  bool StoreAttribute(const char* value, size_t length, bool ampersand);
  char* StoreCopy(const char* text, size_t length);
  void SetAttributeName(const Token& token) {
    attribute_name_ = token.start;
    attribute_name_length_ = token.length;
  }

  // Each handler returns false when parsing stops.
  bool BetweenTags(const Token& token);
  bool InStartTag(const Token& token);
  bool CloseElement();

  const char* pos_;
  XmlTreeBuilder tree_;
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
  // The text last joined across a comment, which may grow in place.
  char* joined_ = nullptr;
  size_t joined_length_ = 0;
  size_t joined_capacity_ = 0;
};

inline char* GeneralParser::StoreCopy(const char* text, size_t length) {
  char* out = tree_.Allocate(length + 1);
  std::memcpy(out, text, length);
  out[length] = '\0';
  return out;
}

// A name in the text matches an open element's when it starts with the element's name,
// ignoring ASCII case, and ends there. The byte-by-byte comparison stops at the first
// difference, so it never reads past the text's NUL.
inline bool GeneralParser::NameMatches(const XmlOpenElement& element, const char* text) const {
  const char* name = element.name;
  if (name == nullptr) return false;
  size_t length = element.name_length;
  return EqualIgnoringCase(text, name, length) && EndsNameAt(text[length]);
}

// Every reference shortens a run, so a run whose decoded length is its own length holds none
// and is copied as it stands.
inline void GeneralParser::Decode(const char* text, size_t length, size_t decoded_length,
                                  char* out) {
  if (decoded_length == length) {
    std::memcpy(out, text, length);
  } else {
    DecodeInto(text, length, out);
  }
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
  size_t length = static_cast<size_t>(end - start);
  size_t decoded = length;
  if (text_ampersand_) {
    ptrdiff_t measured = DecodedLength(start, length, &error_);
    if (measured < 0) return false;
    decoded = static_cast<size_t>(measured);
  }
  // A comment between two texts disappears and the texts join.
  std::vector<XmlPendingItem>& items = tree_.items;
  size_t count = items.size() - tree_.open.back().first_item;
  if (count >= 2 && items.back().kind == kOrderClear && items.back().row == kCommentRow &&
      items[items.size() - 2].kind == kOrderText) {
    return JoinText(start, length, decoded);
  }
  char* text = tree_.Allocate(decoded + 1);
  Decode(start, length, decoded, text);
  text[decoded] = '\0';
  tree_.AddText(text);
  return true;
}

// Appends a run to the text before the comment that ends the element's contents, and drops
// the comment. The earlier text ends at its first NUL (a reference to character 0 may have
// put one early).
bool GeneralParser::JoinText(const char* start, size_t length, size_t decoded) {
  XmlPendingItem& earlier = tree_.items[tree_.items.size() - 2];
  char* text = static_cast<char*>(const_cast<void*>(earlier.stored));
  bool grown_before = text == joined_;
  size_t kept = grown_before ? joined_length_ : std::strlen(text);
  size_t capacity = grown_before ? joined_capacity_ : kept;
  size_t total = kept + decoded;
  if (total > capacity) {
    // Many comment-separated runs join in amortised linear time.
    capacity = total > 2 * kept ? total : 2 * kept;
    char* grown = tree_.Allocate(capacity + 1);
    std::memcpy(grown, text, kept);
    text = grown;
    earlier.stored = text;
  }
  DecodeInto(start, length, text + kept);
  text[total] = '\0';
  joined_ = text;
  joined_length_ = kept + std::strlen(text + kept);
  joined_capacity_ = capacity;
  tree_.items.pop_back();  // the comment
  --tree_.open.back().counts[kOrderClear];
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
    tree_.items.push_back(XmlPendingItem{content, length, closing, kOrderClear, row});
    ++tree_.open.back().counts[kOrderClear];
  }
  return true;
}

void GeneralParser::AppendBareAttribute() {
  char* name = StoreCopy(attribute_name_, attribute_name_length_);
  XmlAttributeEntry& entry = tree_.attributes.emplace_back();
  entry.name = name;
  entry.value = nullptr;
}

bool GeneralParser::AppendValue(const Token& value) {
  const char* start = value.start;
  size_t length = value.length;
  if (tree_.open.back().record->is_declaration && length > 0 && start[length - 1] == '?') {
    --length;
  }
  if (attribute_name_length_ == 0) return true;
  bool quoted = value.kind == TokenKind::kQuoted;
  if (quoted) {
    ++start;
    length -= 2;
  }
  // A word value is always measured: it may hold references the quoted scan would have seen.
  return StoreAttribute(start, length, !quoted || value.ampersand);
}

// Stores an attribute's name and value, decoded when ampersand says the value may hold a
// reference; false for a bad reference.
bool GeneralParser::StoreAttribute(const char* value, size_t length, bool ampersand) {
  size_t decoded = length;
  if (ampersand) {
    ptrdiff_t measured = DecodedLength(value, length, &error_);
    if (measured < 0) return false;
    decoded = static_cast<size_t>(measured);
  }
  char* stored_name = StoreCopy(attribute_name_, attribute_name_length_);
  char* text = tree_.Allocate(decoded + 1);
  Decode(value, length, decoded, text);
  text[decoded] = '\0';
  XmlAttributeEntry& entry = tree_.attributes.emplace_back();
  entry.name = stored_name;
  entry.value = text;
  return true;
}

void GeneralParser::OpenElement(const char* name, size_t name_length, bool is_declaration) {
  char* at = tree_.AllocateAligned(sizeof(XmlElementRecord) + name_length + 1);
  char* stored = at + sizeof(XmlElementRecord);
  std::memcpy(stored, name, name_length);
  stored[name_length] = '\0';
  XmlElementRecord* r = tree_.AddChild(tree_.InitRecord(at, stored, is_declaration));
  tree_.PushOpen(r, name, name_length, tree_.attributes.size());
  in_start_tag_ = true;
  phase_ = AttributePhase::kExpectName;
  attribute_name_length_ = 0;
}

// The element on top of the stack is closed; its parent goes on, or closes too when an end
// tag is still pending.
bool GeneralParser::CloseElement() {
  in_start_tag_ = false;
  for (;;) {
    tree_.CloseTop();
    if (tree_.open.empty()) return false;  // the document record itself closed: parsing ends
    if (pending_end_length_ == 0) return true;
    const XmlOpenElement& element = tree_.open.back();
    if (element.record->name == nullptr) {
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
      if (!NameMatches(tree_.open.back(), name.start)) {
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
        if (tree_.open.back().record->is_declaration && attribute_name_length_ > 0 &&
            attribute_name_[attribute_name_length_ - 1] == '?') {
          --attribute_name_length_;
          if (tree_.open.size() > 2) closes = true;
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

XmlRead GeneralParser::Run() {
  tree_.Begin();
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
      if (!tree_.open.back().record->is_declaration && tree_.open.size() > 1) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
      }
      FlushText(pos_);
    } else {
      go_on = in_start_tag ? InStartTag(token) : BetweenTags(token);
    }
    if (!go_on) break;
  }
  XmlElementRecord* document = tree_.Finish();
  // Where to report the error: the last unmatched end tag for warning 1, else where parsing
  // stopped.
  return XmlRead{document, error_, error_ == kXmlWarningUnmatchedEndTag ? last_unmatched_ : pos_};
}

}  // namespace

XmlRead ReadGeneral(const char* text) {
  return GeneralParser(text).Run();
}
