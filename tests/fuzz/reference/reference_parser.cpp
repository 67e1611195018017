// A copy of the parser and the entity decoder as they were before the rewrite, with their
// record handling made self-contained (each record and block on its own allocation). Do not
// optimise: its only job is to stay as it was.
#include "reference/reference_parser.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace reference {
namespace {

XmlElementRecord* NewOwnRecord(const char* name, size_t name_length, bool is_declaration) {
  size_t name_bytes = name ? name_length + 1 : 0;
  auto* r = static_cast<XmlElementRecord*>(std::malloc(sizeof(XmlElementRecord) + name_bytes));
  *r = XmlElementRecord();
  if (name != nullptr) {
    r->name = reinterpret_cast<char*>(r + 1);
    std::memcpy(r->name, name, name_length);
    r->name[name_length] = '\0';
  }
  r->is_declaration = is_declaration;
  return r;
}

size_t ArrayBytes(int32_t children, int32_t texts, int32_t clears, int32_t attributes) {
  auto n = [](int32_t count) { return static_cast<size_t>(count); };
  return sizeof(XmlElementRecord*) * n(children) + sizeof(char*) * n(texts) +
         sizeof(XmlClearSection) * n(clears) + sizeof(XmlAttributeEntry) * n(attributes) +
         sizeof(int32_t) * (n(children) + n(texts) + n(clears));
}

char* LayOutArrays(XmlElementRecord* r, char* block, int32_t children, int32_t texts,
                   int32_t clears, int32_t attributes) {
  auto n = [](int32_t count) { return static_cast<size_t>(count); };
  r->child_count = children;
  r->text_count = texts;
  r->clear_count = clears;
  r->attribute_count = attributes;
  if (block == nullptr) return nullptr;
  r->children = reinterpret_cast<XmlElementRecord**>(block);
  block += sizeof(XmlElementRecord*) * n(children);
  r->texts = reinterpret_cast<char**>(block);
  block += sizeof(char*) * n(texts);
  r->clears = reinterpret_cast<XmlClearSection*>(block);
  block += sizeof(XmlClearSection) * n(clears);
  r->attributes = reinterpret_cast<XmlAttributeEntry*>(block);
  block += sizeof(XmlAttributeEntry) * n(attributes);
  r->order = reinterpret_cast<int32_t*>(block);
  return block + sizeof(int32_t) * (n(children) + n(texts) + n(clears));
}

// The named entity at text, or null; only entries within the remaining bytes can match.
const XmlEntity* MatchEntity(const char* text, size_t remaining) {
  for (const XmlEntity& entity : kEntities) {
    if (entity.length <= remaining && EqualIgnoringCase(text, entity.text, entity.length)) {
      return &entity;
    }
  }
  return nullptr;
}

bool IsNumericReference(const char* text, size_t remaining) {
  return remaining > 2 && text[1] == '#';
}

// Bytes of the character at text, never past the end of the run.
size_t StepLength(const char* text, size_t remaining) {
  size_t step = CharLength(text);
  return step < remaining ? step : remaining;
}

// The measuring pass: the decoded length, or -1 (error set) for a reference without its
// semicolon or an unknown entity.
ptrdiff_t MeasureDecoded(const char* text, size_t length, int* error) {
  size_t out = 0;
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      size_t step = StepLength(text + i, length - i);
      out += step;
      i += step;
      continue;
    }
    if (IsNumericReference(text + i, length - i)) {
      size_t j = i + 2;
      if (text[j] == 'x' || text[j] == 'X') ++j;
      while (j < length && text[j] != ';' && text[j] != '\0') ++j;
      if (j >= length || text[j] != ';') {
        *error = kXmlUnknownCharacterEntity;
        return -1;
      }
      i = j + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      if (entity == nullptr) {
        *error = kXmlUnknownCharacterEntity;
        return -1;
      }
      i += entity->length;
    }
    ++out;
  }
  return static_cast<ptrdiff_t>(out);
}

int DigitValue(char c, bool hexadecimal) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hexadecimal && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hexadecimal && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the numeric reference at text[i] ("&#" and digits up to the semicolon the
// measuring pass found), saturated at 256 so long digit runs cannot overflow; -1 for a bad
// digit. *end gets the index of the semicolon.
int NumericValue(const char* text, size_t i, size_t* end) {
  size_t j = i + 2;
  bool hexadecimal = text[j] == 'x' || text[j] == 'X';
  if (hexadecimal) ++j;
  int value = 0;
  for (; text[j] != ';'; ++j) {
    int digit = DigitValue(text[j], hexadecimal);
    if (digit < 0) return -1;
    value = value * (hexadecimal ? 16 : 10) + digit;
    if (value > 256) value = 256;
  }
  *end = j;
  return value;
}

// The copying pass's checks, made before anything is copied: digits, and values up to 255.
bool CheckNumericReferences(const char* text, size_t length, int* error) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      i += StepLength(text + i, length - i);
      continue;
    }
    if (IsNumericReference(text + i, length - i)) {
      size_t end = 0;
      int value = NumericValue(text, i, &end);
      if (value < 0) {
        *error = kXmlUnknownCharacterEntity;
        return false;
      }
      if (value > 255) {
        *error = kXmlCharacterCodeAbove255;
        return false;
      }
      i = end + 1;
    } else {
      i += MatchEntity(text + i, length - i)->length;
    }
  }
  return true;
}

ptrdiff_t DecodedLength(const char* text, size_t length, int* error) {
  // Most runs are short and hold no reference: one pass finds the first NUL or ampersand.
  size_t plain = 0;
  while (plain < length && text[plain] != '\0' && text[plain] != '&') ++plain;
  if (plain == length || text[plain] == '\0') return static_cast<ptrdiff_t>(plain);
  const void* nul = std::memchr(text + plain, '\0', length - plain);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  ptrdiff_t decoded = MeasureDecoded(text, length, error);
  if (decoded < 0 || !CheckNumericReferences(text, length, error)) return -1;
  return decoded;
}

void DecodeInto(const char* text, size_t length, char* out) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != '&') {
      // Characters are stepped exactly as the measuring pass stepped them: a lead byte may
      // take an ampersand into its character.
      size_t step = c < 0xC2 ? 1 : StepLength(text + i, length - i);
      std::memcpy(out, text + i, step);
      out += step;
      i += step;
      continue;
    }
    if (IsNumericReference(text + i, length - i)) {
      size_t end = 0;
      // Stored as one byte, not encoded as UTF-8.
      *out++ = static_cast<char>(static_cast<unsigned char>(NumericValue(text, i, &end)));
      i = end + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      *out++ = entity->character;
      i += entity->length;
    }
  }
}

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

// An open element. Its record is made when it closes (the document record exists before).
struct Frame {
  XmlElementRecord* record;  // the document record, else null while open
  const char* name;          // a position in the text; null for the document record
  size_t name_length;
  bool is_declaration;
  bool in_start_tag;
  AttributePhase phase;
  const char* attribute_name;  // remembered name, a position in the text
  size_t attribute_name_length;
  size_t first_item;       // this element's contents on the item stack start here
  size_t first_attribute;  // and its attributes on the attribute stack here
};

// A child, text or clear section of an open element, in document order.
struct PendingItem {
  int32_t kind;             // an XmlOrderKind
  XmlElementRecord* child;  // set when the child closes
  const char* start;        // text run or section content, in the text
  size_t length;            // its bytes
  size_t stored_length;     // decoded length of a text, or the section's length
  char* joined;             // a text joined across a comment, already decoded
  size_t joined_capacity;   // bytes allocated for it, besides its NUL
  const XmlClearTag* tag;   // the section's row
  const char* closing;      // the section's closing
};

// An attribute of an open element: positions in the text, and the decoded value's length
// (-1: no value).
struct PendingAttribute {
  const char* name;
  size_t name_length;
  const char* value;
  size_t value_length;
  ptrdiff_t decoded_length;
};

// Byte classes for the scanning loops. Lead bytes of longer characters always stop a loop,
// so that the character length table decides how far to step.
struct ByteClasses {
  bool space[256];
  bool word_stop[256];   // NUL, whitespace, "/", "<", "=", ">"
  bool text_stop[256];   // NUL, "<"
  bool quote_stop[256];  // NUL, "<", both quotes
  constexpr ByteClasses() : space(), word_stop(), text_stop(), quote_stop() {
    for (unsigned char c : {' ', '\t', '\n', '\r'}) space[c] = word_stop[c] = true;
    for (unsigned char c : {'\0', '/', '<', '=', '>'}) word_stop[c] = true;
    for (unsigned char c : {'\0', '<'}) text_stop[c] = quote_stop[c] = true;
    for (unsigned char c : {'"', '\''}) quote_stop[c] = true;
    for (int c = 0xC2; c <= 0xF4; ++c) word_stop[c] = text_stop[c] = quote_stop[c] = true;
  }
};
constexpr ByteClasses kBytes;  // constant-initialised: usable before any static constructor

inline unsigned char Byte(const char* p) {
  return static_cast<unsigned char>(*p);
}

bool EndsNameAt(char c) {
  return IsXmlSpace(c) || c == '/' || c == '<' || c == '=' || c == '>';
}

// A stored name matches a name in the text when the text starts with it, ignoring ASCII case,
// and the name ends there. The comparison stops at the first difference, so it never reads
// past the text's NUL.
bool NameMatches(const Frame& frame, const char* text) {
  if (frame.name == nullptr) return false;
  return EqualIgnoringCase(text, frame.name, frame.name_length) &&
         EndsNameAt(text[frame.name_length]);
}

char* PutText(char* out, const char* text, size_t length) {
  std::memcpy(out, text, length);
  out[length] = '\0';
  return out + length + 1;
}

// Every reference shortens a run, so a run whose decoded length is its own length holds none
// and is copied as it stands.
void Decode(const char* text, size_t length, size_t decoded_length, char* out) {
  if (decoded_length == length) {
    std::memcpy(out, text, length);
  } else {
    DecodeInto(text, length, out);
  }
}

class Parser {
 public:
  explicit Parser(const char* text) : pos_(text) {
    frames_.reserve(32);
    items_.reserve(256);
    attributes_.reserve(64);
  }

  void Run(XmlElementRecord* document);
  int error() const { return error_; }
  // Where to report the error: the last unmatched end tag for warning 1, else where parsing
  // stopped.
  const char* ErrorPosition() const { return error_ == 1 ? last_unmatched_ : pos_; }

 private:
  Token NextToken();
  const char* ScanWord();  // returns where the word ends
  void SkipToMarkup();
  bool FlushText(const char* end);
  bool ReadClearSection(int row);
  bool AppendValue(const Frame& frame, const Token& value);
  void AppendBareAttribute(const Frame& frame);
  void OpenElement(XmlElementRecord* record, const char* name, size_t name_length,
                   bool is_declaration);
  void StoreElement();
  XmlElementRecord* AllocateRecord(size_t bytes);

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
  std::vector<PendingItem> items_;
  std::vector<PendingAttribute> attributes_;
};

const char* Parser::ScanWord() {
  for (;;) {
    while (!kBytes.word_stop[Byte(pos_)]) ++pos_;
    char c = *pos_;
    if (c == '\0') return pos_;
    if (IsXmlSpace(c)) return pos_++;  // the whitespace is consumed, not part of the word
    if ((c == '/' && pos_[1] == '>') || c == '<' || c == '>' || c == '=') return pos_;
    pos_ += CharLength(pos_);
  }
}

Token Parser::NextToken() {
  while (kBytes.space[Byte(pos_)]) ++pos_;
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
        while (!kBytes.quote_stop[Byte(pos_)]) ++pos_;
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
      for (int row = 0; row < kClearTagCount && (*pos_ == '!' || *pos_ == 'P'); ++row) {
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
    while (!kBytes.text_stop[Byte(pos_)]) ++pos_;
    if (*pos_ == '<' || *pos_ == '\0') return;
    pos_ += CharLength(pos_);
  }
}

bool Parser::FlushText(const char* end) {
  if (pending_text_ == nullptr) return true;
  const char* start = pending_text_;
  while (start < end && IsXmlSpace(*start)) ++start;
  while (end > start && IsXmlSpace(end[-1])) --end;
  if (start == end) {
    pending_text_ = nullptr;
    return true;
  }
  size_t length = static_cast<size_t>(end - start);
  ptrdiff_t decoded = DecodedLength(start, length, &error_);
  if (decoded < 0) return false;
  pending_text_ = nullptr;
  // A comment between two texts disappears and the texts join.
  size_t count = items_.size() - frames_.back().first_item;
  bool merge = count >= 2 && items_.back().kind == kOrderClear &&
               items_.back().tag == &kClearTags[kCommentRow] &&
               items_[items_.size() - 2].kind == kOrderText;
  if (!merge) {
    items_.push_back(PendingItem{kOrderText, nullptr, start, length, static_cast<size_t>(decoded),
                                 nullptr, 0, nullptr, nullptr});
    return true;
  }
  PendingItem& earlier = items_[items_.size() - 2];
  if (earlier.joined == nullptr) {
    earlier.joined = static_cast<char*>(std::malloc(earlier.stored_length + 1));
    DecodeInto(earlier.start, earlier.length, earlier.joined);
    earlier.joined[earlier.stored_length] = '\0';
    // The text ends at its first NUL (a reference to character 0 may have put one early).
    earlier.stored_length = std::strlen(earlier.joined);
    earlier.joined_capacity = earlier.stored_length;
  }
  // Many comment-separated runs join in amortised linear time.
  size_t kept = earlier.stored_length;
  size_t total = kept + static_cast<size_t>(decoded);
  if (total > earlier.joined_capacity) {
    earlier.joined_capacity = total > 2 * kept ? total : 2 * kept;
    earlier.joined = static_cast<char*>(std::realloc(earlier.joined, earlier.joined_capacity + 1));
  }
  DecodeInto(start, length, earlier.joined + kept);
  earlier.joined[total] = '\0';
  earlier.stored_length = kept + std::strlen(earlier.joined + kept);
  items_.pop_back();  // the comment
  return true;
}

bool Parser::ReadClearSection(int row) {
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
    items_.push_back(
        PendingItem{kOrderClear, nullptr, content, length, length, nullptr, 0, &tag, closing});
  }
  return true;
}

void Parser::AppendBareAttribute(const Frame& frame) {
  attributes_.push_back(
      PendingAttribute{frame.attribute_name, frame.attribute_name_length, nullptr, 0, -1});
}

bool Parser::AppendValue(const Frame& frame, const Token& value) {
  const char* start = value.start;
  size_t length = value.length;
  if (frame.is_declaration && length > 0 && start[length - 1] == '?') --length;
  if (frame.attribute_name_length == 0) return true;
  if (value.kind == TokenKind::kQuoted) {
    ++start;
    length -= 2;
  }
  ptrdiff_t decoded = DecodedLength(start, length, &error_);
  if (decoded < 0) return false;
  attributes_.push_back(
      PendingAttribute{frame.attribute_name, frame.attribute_name_length, start, length, decoded});
  return true;
}

void Parser::OpenElement(XmlElementRecord* record, const char* name, size_t name_length,
                         bool is_declaration) {
  frames_.push_back(Frame{record, name, name_length, is_declaration, record == nullptr,
                          AttributePhase::kExpectName, nullptr, 0, items_.size(),
                          attributes_.size()});
}

// Every record of the reference has an allocation of its own.
XmlElementRecord* Parser::AllocateRecord(size_t bytes) {
  auto* r = static_cast<XmlElementRecord*>(std::malloc(bytes));
  r->storage = nullptr;
  return r;
}

// Makes the record of the element on top of the stack from its pending contents and
// attributes: one allocation holding the record, its arrays at their exact sizes, its name
// and all its texts (the document record, which exists already, gets one block for the
// rest). The element stays on the stack.
void Parser::StoreElement() {
  const Frame& frame = frames_.back();
  int32_t counts[4] = {0, 0, 0, 0};
  size_t string_bytes = frame.record ? 0 : frame.name_length + 1;
  for (size_t i = frame.first_item; i < items_.size(); ++i) {
    ++counts[items_[i].kind];
    if (items_[i].kind != kOrderChild) string_bytes += items_[i].stored_length + 1;
  }
  for (size_t i = frame.first_attribute; i < attributes_.size(); ++i) {
    const PendingAttribute& a = attributes_[i];
    string_bytes += a.name_length + 1;
    if (a.decoded_length >= 0) string_bytes += static_cast<size_t>(a.decoded_length) + 1;
  }
  int32_t attribute_count = static_cast<int32_t>(attributes_.size() - frame.first_attribute);
  size_t bytes =
      ArrayBytes(counts[kOrderChild], counts[kOrderText], counts[kOrderClear], attribute_count) +
      string_bytes;

  XmlElementRecord* r = frame.record;
  char* block;
  if (r == nullptr) {
    r = AllocateRecord(sizeof(XmlElementRecord) + bytes);
    // Every other field is set below: the arrays by LayOutArrays, the parent when the
    // parent itself is stored.
    r->is_declaration = frame.is_declaration;
    r->parent = nullptr;
    r->reference_count = 1;  // the parent's list
    block = reinterpret_cast<char*>(r + 1);
    items_[frame.first_item - 1].child = r;  // the parent's entry for this element
  } else {
    block = bytes ? static_cast<char*>(std::malloc(bytes)) : nullptr;
  }
  r->packed = block != nullptr;
  char* strings = LayOutArrays(r, block, counts[kOrderChild], counts[kOrderText],
                               counts[kOrderClear], attribute_count);
  if (!frame.record) {
    r->name = strings;
    strings = PutText(strings, frame.name, frame.name_length);
  }

  int32_t next[4] = {0, 0, 0, 0};
  int32_t position = 0;
  for (size_t i = frame.first_item; i < items_.size(); ++i) {
    PendingItem& item = items_[i];
    int32_t index = next[item.kind]++;
    r->order[position++] = OrderEntry(index, item.kind);
    if (item.kind == kOrderChild) {
      r->children[index] = item.child;
      item.child->parent = r;
    } else if (item.kind == kOrderText) {
      r->texts[index] = strings;
      if (item.joined != nullptr) {
        std::memcpy(strings, item.joined, item.stored_length);
        std::free(item.joined);
      } else {
        Decode(item.start, item.length, item.stored_length, strings);
      }
      strings[item.stored_length] = '\0';
      strings += item.stored_length + 1;
    } else {
      r->clears[index] = XmlClearSection{strings, item.tag->opening, item.closing};
      strings = PutText(strings, item.start, item.length);
    }
  }
  for (int32_t i = 0; i < attribute_count; ++i) {
    const PendingAttribute& a = attributes_[frame.first_attribute + static_cast<size_t>(i)];
    XmlAttributeEntry& entry = r->attributes[i];
    entry.name = strings;
    strings = PutText(strings, a.name, a.name_length);
    entry.value = nullptr;
    if (a.decoded_length >= 0) {
      entry.value = strings;
      Decode(a.value, a.value_length, static_cast<size_t>(a.decoded_length), strings);
      strings[a.decoded_length] = '\0';
      strings += a.decoded_length + 1;
    }
  }
  items_.resize(frame.first_item);
  attributes_.resize(frame.first_attribute);
}

// The element on top of the stack is closed; its parent goes on, or closes too when an end
// tag is still pending.
bool Parser::CloseFrame() {
  for (;;) {
    StoreElement();
    frames_.pop_back();
    if (frames_.empty()) return false;  // the document record itself closed: parsing ends
    if (pending_end_length_ == 0) return true;
    const Frame& frame = frames_.back();
    if (frame.name == nullptr) {
      error_ = kXmlUnmatchedEndTag;
      return false;
    }
    if (NameMatches(frame, pending_end_)) pending_end_length_ = 0;
  }
}

bool Parser::BetweenTags(const Token& token) {
  switch (token.kind) {
    case TokenKind::kOpen:
    case TokenKind::kOpenDecl: {
      if (!FlushText(token.start)) return false;
      Token name = NextToken();
      if (name.kind != TokenKind::kWord) {
        error_ = kXmlMissingStartTagName;
        return false;
      }
      items_.push_back(
          PendingItem{kOrderChild, nullptr, nullptr, 0, 0, nullptr, 0, nullptr, nullptr});
      OpenElement(nullptr, name.start, name.length, token.kind == TokenKind::kOpenDecl);
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
      if (!NameMatches(frames_.back(), name.start)) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
        pending_end_ = name.start;
        pending_end_length_ = name.length;
      }
      return CloseFrame();
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

bool Parser::InStartTag(const Token& token) {
  Frame& frame = frames_.back();
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
        pending_text_ = pos_;
        return CloseFrame();
      }
      break;
    case AttributePhase::kExpectAssign:
      if (token.kind == TokenKind::kWord) {
        AppendBareAttribute(frame);
        frame.attribute_name = token.start;
        frame.attribute_name_length = token.length;
        return true;
      }
      if (token.kind == TokenKind::kClose || token.kind == TokenKind::kEmptyClose) {
        pending_text_ = pos_;
        bool closes = token.kind == TokenKind::kEmptyClose;
        // The final "?>" of a declaration: nested declarations (whose parent has a parent)
        // close like empty elements.
        if (frame.is_declaration && frame.attribute_name_length > 0 &&
            frame.attribute_name[frame.attribute_name_length - 1] == '?') {
          --frame.attribute_name_length;
          if (frames_.size() > 2) closes = true;
        }
        if (frame.attribute_name_length > 0) AppendBareAttribute(frame);
        if (closes) return CloseFrame();
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
        if (!AppendValue(frame, token)) return false;
        frame.phase = AttributePhase::kExpectName;
        return true;
      }
      break;
  }
  error_ = kXmlUnexpectedToken;
  return false;
}

void Parser::Run(XmlElementRecord* document) {
  OpenElement(document, nullptr, 0, false);
  for (;;) {
    if (!frames_.back().in_start_tag) SkipToMarkup();
    Token token = NextToken();
    bool go_on = false;
    if (token.kind == TokenKind::kFinish) {
      const Frame& frame = frames_.back();
      if (!frame.is_declaration && frames_.size() > 1) {
        error_ = kXmlWarningUnmatchedEndTag;
        last_unmatched_ = pos_;
      }
      FlushText(pos_);
    } else {
      go_on = frames_.back().in_start_tag ? InStartTag(token) : BetweenTags(token);
    }
    if (!go_on) break;
  }
  // Elements still open keep what they have read so far.
  while (!frames_.empty()) {
    StoreElement();
    frames_.pop_back();
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

// Frees a record and everything below it.
void FreeTree(XmlElementRecord* record) {
  std::vector<XmlElementRecord*> dying{record};
  while (!dying.empty()) {
    XmlElementRecord* r = dying.back();
    dying.pop_back();
    for (int32_t i = 0; i < r->child_count; ++i) dying.push_back(r->children[i]);
    // The document record's block is its own allocation, starting with its child array.
    if (r->name == nullptr && r->packed) std::free(r->children);
    std::free(r);
  }
}

int32_t ElementCount(const XmlElementRecord* r) {
  return r->child_count + r->text_count + r->clear_count + r->attribute_count;
}

// Takes child out of its parent's child array (the rest of the parent is about to be freed).
void Detach(XmlElementRecord* child) {
  XmlElementRecord* parent = child->parent;
  child->parent = nullptr;
  for (int32_t i = 0; i < parent->child_count; ++i) {
    if (parent->children[i] == child) {
      std::memmove(parent->children + i, parent->children + i + 1,
                   sizeof(XmlElementRecord*) * static_cast<size_t>(parent->child_count - i - 1));
      --parent->child_count;
      return;
    }
  }
}

}  // namespace

// The steps of the product's ParseText, over raw records.
XmlElementRecord* ParseText(const char* text, const char* required_tag, XmlParseOutcome* results) {
  if (text == nullptr) {
    SetOutcome(results, kXmlNoElements, 0, 0);
    return nullptr;
  }
  XmlElementRecord* document = NewOwnRecord(nullptr, 0, false);
  Parser parser(text);
  parser.Run(document);

  int error = parser.error();
  if (document->child_count == 0) error = kXmlWarningNoTagFound;
  XmlElementRecord* candidate = document;
  if (document->child_count == 1 && ElementCount(document) == 1) {
    candidate = document->children[0];
    Detach(candidate);
    FreeTree(document);
  }
  if (error <= kXmlWarningNoTagFound) {
    if (required_tag != nullptr && *required_tag != '\0' &&
        (candidate->name == nullptr || !SameTextIgnoringCase(candidate->name, required_tag))) {
      XmlElementRecord* found = nullptr;
      for (int32_t i = 0; i < candidate->child_count && found == nullptr; ++i) {
        const char* name = candidate->children[i]->name;
        if (name != nullptr && SameTextIgnoringCase(name, required_tag)) {
          found = candidate->children[i];
        }
      }
      if (found != nullptr) Detach(found);
      FreeTree(candidate);
      if (found == nullptr) {
        SetOutcome(results, kXmlFirstTagNotFound, 0, 0);
        return nullptr;
      }
      candidate = found;
    }
  } else {
    FreeTree(candidate);
    candidate = nullptr;
  }
  int line = 0;
  int column = 0;
  if (error != kXmlNoError) LineAndColumn(text, parser.ErrorPosition(), &line, &column);
  SetOutcome(results, error, line, column);
  return candidate;
}

void Free(XmlElementRecord* record) {
  if (record != nullptr) FreeTree(record);
}

namespace {

void DescribeRecord(const XmlElementRecord* r, std::string& out) {
  out += r->is_declaration ? "<?" : "<";
  out += r->name ? r->name : "#document";
  for (int32_t i = 0; i < r->attribute_count; ++i) {
    out += " ";
    out += r->attributes[i].name;
    if (r->attributes[i].value != nullptr) {
      out += "='";
      out += r->attributes[i].value;
      out += "'";
    }
  }
  out += ">";
  for (int32_t i = 0; i < OrderCount(*r); ++i) {
    int32_t entry = r->order[i];
    int32_t index = OrderIndex(entry);
    switch (OrderKind(entry)) {
      case kOrderChild:
        DescribeRecord(r->children[index], out);
        break;
      case kOrderText:
        out += "[";
        out += r->texts[index];
        out += "]";
        break;
      default:
        out += r->clears[index].opening;
        out += r->clears[index].content;
        out += r->clears[index].closing;
        break;
    }
  }
  out += "</>";
}

}  // namespace

std::string Describe(const XmlElementRecord* record) {
  if (record == nullptr) return "(empty)";
  std::string out;
  DescribeRecord(record, out);
  return out;
}

}  // namespace reference
