// The tolerant parser, in two parts. Texts made only of the common shapes (the reports and
// catalogs the utility reads) are read by one loop over a private copy of the text, where
// names, values and texts stay, terminated in place. Any other text is read from the start by
// the general parser: a tokenizer over positions in the caller's text and an element parser
// that keeps its open elements on an explicit stack, so deep nesting cannot exhaust the
// machine stack; it copies every name, value and text into the parse's storage as it reads
// it. Both make each element's record in that storage when the element opens; only the
// element's list of contents and attributes waits on shared stacks until it closes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <type_traits>

#include "xml/xml_entities.h"
#include "xml/xml_node.h"
#include "xml/xml_record.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

enum class AttributePhase { kExpectName, kExpectAssign, kExpectValue };

// An open element; its record exists from the start.
struct Frame {
  XmlElementRecord* record;
  const char* name;  // where the name is written in the text; null for the document
  size_t name_length;
  bool in_start_tag;
  AttributePhase phase;
  const char* attribute_name;  // remembered name, a position in the text
  size_t attribute_name_length;
  size_t first_item;       // this element's contents on the item stack start here
  size_t first_attribute;  // and its attributes on the attribute stack here
  int32_t counts[4];       // items of each XmlOrderKind
};

// A child, text or clear section of an open element, in document order. Children and texts
// are stored already; a section is copied when its element closes, since a comment between
// two texts disappears.
struct PendingItem {
  const void* stored;   // the child's record or the text; the section's content in the text
  size_t length;        // the section's bytes
  const char* closing;  // the section's closing
  int32_t kind;         // an XmlOrderKind
  int32_t row;          // the section's row of the clear-tag table
};

// Byte classes for the scanning loops. The "plain" classes mark the bytes a loop steps over
// one at a time; it stops at any other, NUL always among them, and at lead bytes of longer
// characters, so that the character length table decides how far to step.
struct ByteClasses {
  bool space[256];
  bool word_plain[256];      // all but NUL, whitespace, "/", "<", "=", ">"
  bool name_start[256];      // word_plain without the quotes: starts a word token
  bool quote_plain[2][256];  // all but NUL, "<", "&" and the double or the single quote
  bool text_plain[256];      // all but NUL, "<", "&"
  constexpr ByteClasses() : space(), word_plain(), name_start(), quote_plain(), text_plain() {
    for (int c = 1; c < 256; ++c) {
      bool lead = c >= 0xC2 && c <= 0xF4;
      text_plain[c] = !lead && c != '<' && c != '&';
      quote_plain[0][c] = text_plain[c] && c != '"';
      quote_plain[1][c] = text_plain[c] && c != '\'';
      word_plain[c] = !lead && c != '/' && c != '<' && c != '=' && c != '>';
    }
    for (unsigned char c : {' ', '\t', '\n', '\r'}) {
      space[c] = true;
      word_plain[c] = false;
    }
    for (int c = 0; c < 256; ++c) name_start[c] = word_plain[c] && c != '"' && c != '\'';
  }
};
constexpr ByteClasses kBytes;  // constant-initialised: usable before any static constructor

inline unsigned char Byte(const char* p) {
  return static_cast<unsigned char>(*p);
}

// The first byte at or after p that plain does not mark, four bytes a step: short runs cost
// one well-predicted branch a byte. plain never marks NUL, so no byte past the text is read.
inline const char* SkipPlain(const char* p, const bool* plain) {
  for (;; p += 4) {
    if (!plain[Byte(p)]) return p;
    if (!plain[Byte(p + 1)]) return p + 1;
    if (!plain[Byte(p + 2)]) return p + 2;
    if (!plain[Byte(p + 3)]) return p + 3;
  }
}

// The scanners give the first position at or after p whose byte ends a run; limit is the
// text's NUL. Where 16 bytes are left they test 16 at a time, so that a short run costs one
// well-predicted branch instead of one per byte.
#if defined(__SSE2__)

inline __m128i Bytes16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline __m128i Equal(__m128i x, char c) {
  return _mm_cmpeq_epi8(x, _mm_set1_epi8(c));
}

// Bytes from 0xC2 up: every lead byte of a longer character (and a few that are not).
inline __m128i LeadBytes(__m128i x) {
  return _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(static_cast<char>(0xC2))), x);
}

template <typename Stops>
inline const char* Scan(const char* p, const char* limit, const bool* plain, Stops stops) {
  while (limit - p >= 16) {
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops(Bytes16(p))));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
  return SkipPlain(p, plain);
}

inline const char* SkipSpace(const char* p, const char* limit) {
  // Inside tags whitespace comes one byte at a time.
  if (!kBytes.space[Byte(p)]) return p;
  if (!kBytes.space[Byte(p + 1)]) return p + 1;
  return Scan(p + 2, limit, kBytes.space, [](__m128i x) {
    __m128i space = _mm_or_si128(_mm_or_si128(Equal(x, ' '), Equal(x, '\t')),
                                 _mm_or_si128(Equal(x, '\n'), Equal(x, '\r')));
    return _mm_xor_si128(space, _mm_set1_epi8(-1));
  });
}

// Bytes up to the space (whitespace and other control characters), "/", "<", "=", ">" and
// lead bytes; the caller steps over the control characters that do not end a word.
inline const char* ScanWordRun(const char* p, const char* limit) {
  return Scan(p, limit, kBytes.word_plain, [](__m128i x) {
    __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(' ')), x);
    __m128i marks = _mm_sub_epi8(x, _mm_set1_epi8('<'));  // "<", "=" and ">" become 0 to 2
    marks = _mm_cmpeq_epi8(_mm_min_epu8(marks, _mm_set1_epi8(2)), marks);
    return _mm_or_si128(_mm_or_si128(low, marks), _mm_or_si128(Equal(x, '/'), LeadBytes(x)));
  });
}

inline const char* ScanQuotedRun(const char* p, const char* limit, char quote) {
  return Scan(p, limit, kBytes.quote_plain[quote == '"' ? 0 : 1], [quote](__m128i x) {
    __m128i markup = _mm_or_si128(Equal(x, '<'), Equal(x, '&'));
    return _mm_or_si128(_mm_or_si128(markup, Equal(x, quote)), LeadBytes(x));
  });
}

inline const char* ScanTextRun(const char* p, const char* limit) {
  return Scan(p, limit, kBytes.text_plain, [](__m128i x) {
    return _mm_or_si128(_mm_or_si128(Equal(x, '<'), Equal(x, '&')), LeadBytes(x));
  });
}

#else  // a byte at a time

inline const char* SkipSpace(const char* p, const char*) {
  return SkipPlain(p, kBytes.space);
}

inline const char* ScanWordRun(const char* p, const char*) {
  return SkipPlain(p, kBytes.word_plain);
}

inline const char* ScanQuotedRun(const char* p, const char*, char quote) {
  return SkipPlain(p, kBytes.quote_plain[quote == '"' ? 0 : 1]);
}

inline const char* ScanTextRun(const char* p, const char*) {
  return SkipPlain(p, kBytes.text_plain);
}

#endif

// Byte-at-a-time forms of the scanners, for the short runs in and between tags that the
// common shapes are made of: each step is a branch the processor predicts, so it runs ahead,
// where the next block scan would wait for the last one's result.
inline const char* SpaceRun(const char* p) {
  while (kBytes.space[Byte(p)]) ++p;
  return p;
}
inline const char* WordRun(const char* p) {
  return SkipPlain(p, kBytes.word_plain);
}
inline const char* QuotedRun(const char* p, char quote) {
  return SkipPlain(p, kBytes.quote_plain[quote == '"' ? 0 : 1]);
}

// Most elements have one attribute, which a plain assignment moves without a call.
inline void CopyAttributes(XmlAttributeEntry* to, const XmlAttributeEntry* from, size_t count) {
  if (count == 1) {
    *to = *from;
  } else {
    std::memcpy(to, from, sizeof(XmlAttributeEntry) * count);
  }
}

// Writes an entry with one store where a 16-byte one exists, so that the copy above, which
// reads it whole, need not wait for two stores to reach the cache.
inline void PutAttribute(XmlAttributeEntry* entry, char* name, char* value) {
#if defined(__SSE2__)
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(entry),
      _mm_set_epi64x(reinterpret_cast<intptr_t>(value), reinterpret_cast<intptr_t>(name)));
#else
  entry->name = name;
  entry->value = value;
#endif
}

// A stack of plain entries, written in place, that starts in the object itself (a short text
// needs no allocation for it) and grows by doubling.
template <typename T, size_t kInline>
class Stack {
  static_assert(std::is_trivially_copyable<T>::value, "entries are moved as bytes");

 public:
  Stack() = default;
  Stack(const Stack&) = delete;
  Stack& operator=(const Stack&) = delete;
  ~Stack() {
    if (entries_ != inline_) std::free(entries_);
  }

  T& Push() {
    if (size_ == capacity_) Grow();
    return entries_[size_++];
  }
  void Pop() { --size_; }
  void Truncate(size_t size) { size_ = size; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& back() { return entries_[size_ - 1]; }
  T& operator[](size_t i) { return entries_[i]; }

 private:
  void Grow() {
    size_t capacity = 2 * capacity_;
    if (entries_ == inline_) {
      auto* grown = static_cast<T*>(XmlAllocate(sizeof(T) * capacity));
      std::memcpy(static_cast<void*>(grown), inline_, sizeof inline_);
      entries_ = grown;
    } else {
      entries_ = static_cast<T*>(XmlReallocate(entries_, sizeof(T) * capacity));
    }
    capacity_ = capacity;
  }

  T inline_[kInline];
  T* entries_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
};

bool EndsNameAt(char c) {
  return IsXmlSpace(c) || c == '/' || c == '<' || c == '=' || c == '>';
}

class Parser {
 public:
  explicit Parser(const char* text) : pos_(text), limit_(text + std::strlen(text)) {}
  // Frees the storage unless Run handed it over.
  ~Parser();
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // Parses the whole text; the document record returned holds no reference yet.
  XmlElementRecord* Run();
  // The same for a text made only of the common shapes, read without tokens; null for any
  // other text, which Run must then read with a new parser.
  XmlElementRecord* RunCommon();
  int error() const { return error_; }
  // Where to report the error: the last unmatched end tag for warning 1, else where parsing
  // stopped.
  const char* ErrorPosition() const { return error_ == 1 ? last_unmatched_ : pos_; }

 private:
  Token NextToken();
  Token MarkupToken(Token token);
  bool NameMatches(const Frame& frame, const char* text) const;
  void CopyIn(char* out, const char* in, size_t length);
  void Decode(const char* text, size_t length, size_t decoded_length, char* out);
  bool ReadName(Token* name);
  bool ReadClose();
  const char* ScanWord();  // returns where the word ends
  void SkipToMarkup();
  const char* ScanText(const char* p, bool* ampersand) const;
  bool FlushText(const char* end) { return pending_text_ == nullptr || StoreText(end); }
  bool StoreText(const char* end);
  void AddText(char* text);
  bool JoinText(const char* start, size_t length, size_t decoded);
  bool ReadClearSection(int row);
  bool AppendValue(const Frame& frame, const Token& value);
  void AppendBareAttribute(const Frame& frame);
  XmlElementRecord* AddChild(XmlElementRecord* r);
  XmlElementRecord* NewRecordNamed(char* name, bool is_declaration);
  XmlElementRecord* InitRecord(void* at, char* name, bool is_declaration);
  bool StoreTextInPlace(char* start, char* end, bool ampersand);
  void PushFrame(XmlElementRecord* record, const char* name, size_t name_length,
                 size_t first_attribute, bool in_start_tag);
  void OpenElement(const char* name, size_t name_length, bool is_declaration);
  void StoreElement();
  void SetAttributes(XmlElementRecord* r, char* block, size_t first_attribute, size_t count);
  void StoreAttributes(XmlElementRecord* record, size_t first_attribute);
  XmlElementRecord* NewEmptyRecord(char* name, bool is_declaration, size_t first_attribute);
  void StoreContents(int32_t attribute_count);
  int ReadQuotedAttribute();
  const char* ScanQuoted(const char* p, char quote, bool* ampersand, bool short_run = false) const;
  bool StoreAttribute(const char* name, size_t name_length, const char* value, size_t length,
                      bool ampersand, size_t position);

  // The parse's storage: objects are 8-byte aligned, texts packed byte by byte.
  char* Allocate(size_t bytes);
  char* AllocateAligned(size_t bytes);
  char* NewBlock(size_t bytes);
  char* StoreCopy(const char* text, size_t length);
  char* SharedName(const char* text, size_t length, size_t position);
  bool SameBytes(const char* a, const char* b, size_t length) const;
  XmlElementRecord* NewElementRecord(const char* name, size_t name_length, bool is_declaration);

  XmlElementRecord* Begin();

  // Each handler returns false when parsing stops.
  bool BetweenTags(const Token& token);
  bool InStartTag(const Token& token);
  bool CloseFrame();

  const char* pos_;
  const char* limit_;  // the text's NUL
  struct NameSlot {
    const char* text;  // where the name was last seen
    char* stored;
    size_t length;  // 0: none yet
  };
  static constexpr size_t kNameSlots = 16;
  NameSlot names_[kNameSlots] = {};
  const char* pending_text_ = nullptr;
  bool text_ampersand_ = false;  // the run SkipToMarkup last scanned holds an "&"
  int error_ = 0;
  const char* last_unmatched_ = nullptr;
  const char* pending_end_ = nullptr;
  size_t pending_end_length_ = 0;  // 0: no pending end tag
  Stack<Frame, 16> frames_;
  Stack<PendingItem, 64> items_;
  Stack<XmlAttributeEntry, 16> attributes_;
  // The text last joined across a comment, which may grow in place.
  char* joined_ = nullptr;
  size_t joined_length_ = 0;
  size_t joined_capacity_ = 0;
  XmlParseStorage* storage_ = nullptr;
  bool handed_over_ = false;
  char* next_ = nullptr;  // free bytes of the current block
  char* end_ = nullptr;
};

Parser::~Parser() {
  if (storage_ != nullptr && !handed_over_) FreeStorage(storage_);
}

// Starts a new block, or gives a large piece a block of its own; the current block goes on
// taking small pieces.
char* Parser::NewBlock(size_t bytes) {
  bool own = bytes > kStorageBlockBytes / 4;
  size_t header = sizeof(XmlStorageBlock) + (storage_ == nullptr ? sizeof(XmlParseStorage) : 0);
  size_t size = header + (own ? bytes : kStorageBlockBytes);
  auto* block = static_cast<XmlStorageBlock*>(XmlAllocate(size));
  char* start = reinterpret_cast<char*>(block) + header;
  if (storage_ == nullptr) {
    block->next = nullptr;
    storage_ = reinterpret_cast<XmlParseStorage*>(block + 1);
    storage_->live_records = 0;
    storage_->handles = 0;
    storage_->changed = false;
  } else {
    block->next = storage_->blocks;
  }
  storage_->blocks = block;
  if (own) return start;
  next_ = start + bytes;
  end_ = reinterpret_cast<char*>(block) + size;
  return start;
}

inline char* Parser::Allocate(size_t bytes) {
  if (static_cast<size_t>(end_ - next_) < bytes) return NewBlock(bytes);
  char* piece = next_;
  next_ += bytes;
  return piece;
}

inline char* Parser::AllocateAligned(size_t bytes) {
  next_ += (0 - reinterpret_cast<uintptr_t>(next_)) & 7;
  if (next_ > end_) next_ = end_;
  bytes = (bytes + 7) & ~static_cast<size_t>(7);
  return Allocate(bytes);
}

inline char* Parser::StoreCopy(const char* text, size_t length) {
  char* out = Allocate(length + 1);
  CopyIn(out, text, length);
  out[length] = '\0';
  return out;
}

// Two runs of the text hold the same bytes.
inline bool Parser::SameBytes(const char* a, const char* b, size_t length) const {
#if defined(__SSE2__)
  if (length <= 16 && limit_ - a >= 16 && limit_ - b >= 16) {
    auto same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Bytes16(a), Bytes16(b))));
    unsigned wanted = (1u << length) - 1;
    return (same & wanted) == wanted;
  }
#endif
  return std::memcmp(a, b, length) == 0;
}

// Attribute names repeat in the same places (every value element of a report has the
// attribute "value", every catalog entry the same attributes in the same order), so a name
// the same as the last one seen at its (0-based) position in an element shares that one's
// stored copy: parsed names are never changed or freed on their own.
inline char* Parser::SharedName(const char* text, size_t length, size_t position) {
  NameSlot& slot = names_[position < kNameSlots ? position : kNameSlots - 1];
  if (slot.length == length && SameBytes(slot.text, text, length)) return slot.stored;
  char* stored = StoreCopy(text, length);
  slot = NameSlot{text, stored, length};
  return stored;
}

// A blank record at r, named by name (which may be null), counted in the storage.
inline XmlElementRecord* Parser::InitRecord(void* at, char* name, bool is_declaration) {
  auto* r = static_cast<XmlElementRecord*>(at);
  // Copied from a blank record: zeroing it compiles to a slow string store.
  static constexpr XmlElementRecord kBlank{};
  std::memcpy(at, &kBlank, sizeof kBlank);
  r->name = name;
  r->is_declaration = is_declaration;
  r->storage = storage_;
  ++storage_->live_records;
  return r;
}

XmlElementRecord* Parser::NewElementRecord(const char* name, size_t name_length,
                                           bool is_declaration) {
  size_t name_bytes = name ? name_length + 1 : 0;
  char* at = AllocateAligned(sizeof(XmlElementRecord) + name_bytes);
  char* stored = nullptr;
  if (name != nullptr) {
    stored = at + sizeof(XmlElementRecord);
    CopyIn(stored, name, name_length);
    stored[name_length] = '\0';
  }
  return InitRecord(at, stored, is_declaration);
}

// A record whose name lies in the parse's own copy of the text.
inline XmlElementRecord* Parser::NewRecordNamed(char* name, bool is_declaration) {
  return InitRecord(AllocateAligned(sizeof(XmlElementRecord)), name, is_declaration);
}

// A name in the text matches an open element's when it starts with the element's name,
// ignoring ASCII case, and ends there. Both lie in the text, so where 16 bytes are left an
// exact match of a short name is one comparison; the fallback stops at the first difference,
// so it never reads past the text's NUL.
inline bool Parser::NameMatches(const Frame& frame, const char* text) const {
  const char* name = frame.name;
  if (name == nullptr) return false;
  size_t length = frame.name_length;
#if defined(__SSE2__)
  if (length < 16 && limit_ - text >= 16 && limit_ - name >= 16) {
    auto same =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Bytes16(text), Bytes16(name))));
    unsigned wanted = (1u << length) - 1;
    if ((same & wanted) == wanted) return EndsNameAt(text[length]);
  }
#endif
  return EqualIgnoringCase(text, name, length) && EndsNameAt(text[length]);
}

// Copies into the storage's latest piece. A piece of up to 32 bytes is copied as two 16-byte
// blocks, overlapping or reaching past it, where the text and the storage's current block
// both hold 16 bytes from there: the bytes past the piece are free.
inline void Parser::CopyIn(char* out, const char* in, size_t length) {
#if defined(__SSE2__)
  if (length <= 32 && limit_ - in >= 16 && end_ - out >= 16) {
    __m128i head = Bytes16(in);
    if (length > 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + length - 16), Bytes16(in + length - 16));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), head);
    return;
  }
#endif
  std::memcpy(out, in, length);
}

// Every reference shortens a run, so a run whose decoded length is its own length holds none
// and is copied as it stands.
inline void Parser::Decode(const char* text, size_t length, size_t decoded_length, char* out) {
  if (decoded_length == length) {
    CopyIn(out, text, length);
  } else {
    DecodeInto(text, length, out);
  }
}

// The word token that starts right at pos_ with a byte that can only start one, as NextToken
// would read it; false (nothing read) for anything else.
inline bool Parser::ReadName(Token* name) {
  const char* start = pos_;
  if (!kBytes.name_start[Byte(start)]) return false;
  ++pos_;
  const char* end = ScanWord();
  *name = Token{TokenKind::kWord, start, static_cast<size_t>(end - start), 0, false};
  return true;
}

// Reads the next token; true when it is a Close.
inline bool Parser::ReadClose() {
  const char* p = SkipSpace(pos_, limit_);
  if (*p != '>') return NextToken().kind == TokenKind::kClose;
  pos_ = p + 1;
  return true;
}

const char* Parser::ScanWord() {
  const char* p = pos_;
  for (;;) {
    p = ScanWordRun(p, limit_);
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

// The row of the clear-tag table whose opening goes on at p, just after its "<", or -1.
int ClearRowAfter(const char* p) {
  for (int row = 0; row < kClearTagCount; ++row) {
    const XmlClearTag& tag = kClearTags[row];
    if (std::strncmp(p, tag.opening + 1, tag.opening_length - 1) == 0) return row;
  }
  return -1;
}

// A token at "<", with token.start there and pos_ just after it.
inline Token Parser::MarkupToken(Token token) {
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

inline Token Parser::NextToken() {
  pos_ = SkipSpace(pos_, limit_);
  Token token{TokenKind::kFinish, pos_, 0, 0, false};
  const char c = *pos_;
  if (c == '\0') return token;
  pos_ += CharLength(pos_);
  const char* end = nullptr;  // set by word scans, else the index after the token
  switch (c) {
    case '"':
    case '\'': {
      token.kind = TokenKind::kQuoted;
      const char* p = pos_;
      for (;;) {
        p = ScanQuotedRun(p, limit_, c);
        char d = *p;
        if (d == c) {
          pos_ = p + 1;
          break;
        }
        if (d == '<' || d == '\0') {
          // No closing quote: the rest reads as a word that starts with the quote.
          pos_ = token.start + 1;
          token.kind = TokenKind::kWord;
          end = ScanWord();
          break;
        }
        if (d == '&') {
          token.ampersand = true;
          ++p;
        } else {
          p += CharLength(p);
        }
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

// The "<" or NUL that ends a run of text starting at p, stepping character by character as
// the tokenizer would.
inline const char* Parser::ScanText(const char* p, bool* ampersand) const {
  for (;;) {
    p = ScanTextRun(p, limit_);
    char c = *p;
    if (c == '<' || c == '\0') return p;
    if (c == '&') {
      *ampersand = true;
      ++p;
    } else {
      p += CharLength(p);
    }
  }
}

// Between tags every token but markup is ignored, and the text is collected through the
// pending run; stepping character by character to the next "<" visits the same positions the
// tokenizer would. The pending run's leading whitespace is dropped on the way, and a run of
// nothing else is no run.
void Parser::SkipToMarkup() {
  const char* p = SkipSpace(pos_, limit_);
  bool ampersand = false;
  if (*p != '<' && *p != '\0') {
    if (pending_text_ != nullptr) pending_text_ = p;
    p = ScanText(p, &ampersand);
  } else {
    pending_text_ = nullptr;
  }
  text_ampersand_ = ampersand;
  pos_ = p;
}

// Stores the pending run up to end, trimmed.
bool Parser::StoreText(const char* end) {
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
  const Frame& frame = frames_.back();
  size_t count = items_.size() - frame.first_item;
  if (count >= 2 && items_.back().kind == kOrderClear && items_.back().row == kCommentRow &&
      items_[items_.size() - 2].kind == kOrderText) {
    return JoinText(start, length, decoded);
  }
  char* text = Allocate(decoded + 1);
  Decode(start, length, decoded, text);
  text[decoded] = '\0';
  AddText(text);
  return true;
}

// Lists a stored text among the contents of the element on top of the stack.
inline void Parser::AddText(char* text) {
  PendingItem& item = items_.Push();
  item.stored = text;
  item.kind = kOrderText;
  ++frames_.back().counts[kOrderText];
}

// Appends a run to the text before the comment that ends the element's contents, and drops
// the comment. The earlier text ends at its first NUL (a reference to character 0 may have
// put one early).
bool Parser::JoinText(const char* start, size_t length, size_t decoded) {
  PendingItem& earlier = items_[items_.size() - 2];
  char* text = static_cast<char*>(const_cast<void*>(earlier.stored));
  bool grown_before = text == joined_;
  size_t kept = grown_before ? joined_length_ : std::strlen(text);
  size_t capacity = grown_before ? joined_capacity_ : kept;
  size_t total = kept + decoded;
  if (total > capacity) {
    // Many comment-separated runs join in amortised linear time.
    capacity = total > 2 * kept ? total : 2 * kept;
    char* grown = Allocate(capacity + 1);
    std::memcpy(grown, text, kept);
    text = grown;
    earlier.stored = text;
  }
  DecodeInto(start, length, text + kept);
  text[total] = '\0';
  joined_ = text;
  joined_length_ = kept + std::strlen(text + kept);
  joined_capacity_ = capacity;
  items_.Pop();  // the comment
  --frames_.back().counts[kOrderClear];
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
    items_.Push() = PendingItem{content, length, closing, kOrderClear, row};
    ++frames_.back().counts[kOrderClear];
  }
  return true;
}

void Parser::AppendBareAttribute(const Frame& frame) {
  char* name = SharedName(frame.attribute_name, frame.attribute_name_length,
                          attributes_.size() - frame.first_attribute);
  XmlAttributeEntry& entry = attributes_.Push();
  entry.name = name;
  entry.value = nullptr;
}

bool Parser::AppendValue(const Frame& frame, const Token& value) {
  const char* start = value.start;
  size_t length = value.length;
  if (frame.record->is_declaration && length > 0 && start[length - 1] == '?') --length;
  if (frame.attribute_name_length == 0) return true;
  bool quoted = value.kind == TokenKind::kQuoted;
  if (quoted) {
    ++start;
    length -= 2;
  }
  // A word value is always measured: it may hold references the quoted scan would have seen.
  return StoreAttribute(frame.attribute_name, frame.attribute_name_length, start, length,
                        !quoted || value.ampersand, attributes_.size() - frame.first_attribute);
}

// The closing quote of a quoted value starting at p, or the "<" or NUL where a value without
// one stops.
inline const char* Parser::ScanQuoted(const char* p, char quote, bool* ampersand,
                                      bool short_run) const {
  for (;;) {
    p = short_run ? QuotedRun(p, quote) : ScanQuotedRun(p, limit_, quote);
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

// Stores an attribute's name and value, decoded when ampersand says the value may hold a
// reference; false for a bad reference.
inline bool Parser::StoreAttribute(const char* name, size_t name_length, const char* value,
                                   size_t length, bool ampersand, size_t position) {
  size_t decoded = length;
  if (ampersand) {
    ptrdiff_t measured = DecodedLength(value, length, &error_);
    if (measured < 0) return false;
    decoded = static_cast<size_t>(measured);
  }
  char* stored_name = SharedName(name, name_length, position);
  char* text = Allocate(decoded + 1);
  Decode(value, length, decoded, text);
  text[decoded] = '\0';
  XmlAttributeEntry& entry = attributes_.Push();
  entry.name = stored_name;
  entry.value = text;
  return true;
}

// The common attribute, name="value" or name='value', read whole as the tokenizer would read
// its three tokens. 1: read; 0: the tokens ahead are anything else, and nothing was read;
// -1: a bad reference in the value.
inline int Parser::ReadQuotedAttribute() {
  const char* name = SkipSpace(pos_, limit_);
  if (!kBytes.name_start[Byte(name)]) return 0;
  const char* name_end = ScanWordRun(name + 1, limit_);
  const char* p = name_end;
  if (IsXmlSpace(*p)) p = SkipSpace(p + 1, limit_);
  if (*p != '=') return 0;
  p = SkipSpace(p + 1, limit_);
  const char quote = *p;
  if (quote != '"' && quote != '\'') return 0;
  const char* value = p + 1;
  bool ampersand = false;
  p = ScanQuoted(value, quote, &ampersand);
  if (*p != quote) return 0;  // no closing quote: read as a word
  pos_ = p + 1;
  size_t position = attributes_.size() - frames_.back().first_attribute;
  return StoreAttribute(name, static_cast<size_t>(name_end - name), value,
                        static_cast<size_t>(p - value), ampersand, position)
             ? 1
             : -1;
}

// A record for an element that opens in the element on top of the stack, listed among its
// contents.
inline XmlElementRecord* Parser::AddChild(XmlElementRecord* r) {
  r->reference_count = 1;  // the parent's list
  Frame& parent = frames_.back();
  r->parent = parent.record;
  ++parent.counts[kOrderChild];
  PendingItem& item = items_.Push();
  item.stored = r;
  item.kind = kOrderChild;
  return r;
}

inline void Parser::PushFrame(XmlElementRecord* record, const char* name, size_t name_length,
                              size_t first_attribute, bool in_start_tag) {
  Frame& frame = frames_.Push();
  frame.record = record;
  frame.name = name;
  frame.name_length = name_length;
  frame.in_start_tag = in_start_tag;
  frame.phase = AttributePhase::kExpectName;
  frame.attribute_name_length = 0;
  frame.first_item = items_.size();
  frame.first_attribute = first_attribute;
  frame.counts[0] = frame.counts[1] = frame.counts[2] = frame.counts[3] = 0;
}

void Parser::OpenElement(const char* name, size_t name_length, bool is_declaration) {
  XmlElementRecord* r = AddChild(NewElementRecord(name, name_length, is_declaration));
  PushFrame(r, name, name_length, attributes_.size(), true);
}

// Moves the stack's last count attributes (at least one), from first_attribute up, to
// block, as r's.
inline void Parser::SetAttributes(XmlElementRecord* r, char* block, size_t first_attribute,
                                  size_t count) {
  r->packed = true;
  r->attributes = reinterpret_cast<XmlAttributeEntry*>(block);
  r->attribute_count = static_cast<int32_t>(count);
  CopyAttributes(r->attributes, &attributes_[first_attribute], count);
  attributes_.Truncate(first_attribute);
}

// Gives an element without contents its attributes from first_attribute up, the stack's
// last entries.
inline void Parser::StoreAttributes(XmlElementRecord* r, size_t first_attribute) {
  size_t count = attributes_.size() - first_attribute;
  if (count == 0) return;
  SetAttributes(r, AllocateAligned(sizeof(XmlAttributeEntry) * count), first_attribute, count);
}

// An element that closes with its start tag: one piece holds its record and then its
// attributes, the stack's entries from first_attribute up.
inline XmlElementRecord* Parser::NewEmptyRecord(char* name, bool is_declaration,
                                                size_t first_attribute) {
  size_t count = attributes_.size() - first_attribute;
  char* at = AllocateAligned(sizeof(XmlElementRecord) + sizeof(XmlAttributeEntry) * count);
  XmlElementRecord* r = InitRecord(at, name, is_declaration);
  if (count > 0) SetAttributes(r, at + sizeof(XmlElementRecord), first_attribute, count);
  return r;
}

// Gives the element on top of the stack its arrays, at their exact sizes in one block, from
// its pending contents and attributes. The element stays on the stack.
inline void Parser::StoreElement() {
  const Frame& frame = frames_.back();
  if (items_.size() == frame.first_item) {
    // No contents (most elements): only attributes.
    StoreAttributes(frame.record, frame.first_attribute);
    return;
  }
  StoreContents(static_cast<int32_t>(attributes_.size() - frame.first_attribute));
}

// Pointer-sized entries first, then the order list: each part stays aligned.
void Parser::StoreContents(int32_t attribute_count) {
  const Frame& frame = frames_.back();
  XmlElementRecord* r = frame.record;
  auto n = [](int32_t count) { return static_cast<size_t>(count); };
  int32_t children = frame.counts[kOrderChild];
  int32_t texts = frame.counts[kOrderText];
  int32_t clears = frame.counts[kOrderClear];
  size_t bytes = sizeof(XmlElementRecord*) * n(children) + sizeof(char*) * n(texts) +
                 sizeof(XmlClearSection) * n(clears) +
                 sizeof(XmlAttributeEntry) * n(attribute_count) +
                 sizeof(int32_t) * (n(children) + n(texts) + n(clears));
  char* block = AllocateAligned(bytes);
  r->packed = true;
  r->child_count = children;
  r->text_count = texts;
  r->clear_count = clears;
  r->attribute_count = attribute_count;
  r->children = reinterpret_cast<XmlElementRecord**>(block);
  block += sizeof(XmlElementRecord*) * n(children);
  r->texts = reinterpret_cast<char**>(block);
  block += sizeof(char*) * n(texts);
  r->clears = reinterpret_cast<XmlClearSection*>(block);
  block += sizeof(XmlClearSection) * n(clears);
  r->attributes = reinterpret_cast<XmlAttributeEntry*>(block);
  block += sizeof(XmlAttributeEntry) * n(attribute_count);
  r->order = reinterpret_cast<int32_t*>(block);
  if (attribute_count > 0) {
    CopyAttributes(r->attributes, &attributes_[frame.first_attribute], n(attribute_count));
    attributes_.Truncate(frame.first_attribute);
  }
  if (texts == 0 && clears == 0) {
    // Only elements (most contents): each one's order entry is its own index.
    const PendingItem* items = &items_[frame.first_item];
    for (int32_t i = 0; i < children; ++i) {
      r->order[i] = OrderEntry(i, kOrderChild);
      r->children[i] = static_cast<XmlElementRecord*>(const_cast<void*>(items[i].stored));
    }
    items_.Truncate(frame.first_item);
    return;
  }
  int32_t next[4] = {0, 0, 0, 0};
  int32_t position = 0;
  for (size_t i = frame.first_item; i < items_.size(); ++i) {
    const PendingItem& item = items_[i];
    int32_t index = next[item.kind]++;
    r->order[position++] = OrderEntry(index, item.kind);
    if (item.kind == kOrderChild) {
      r->children[index] = static_cast<XmlElementRecord*>(const_cast<void*>(item.stored));
    } else if (item.kind == kOrderText) {
      r->texts[index] = static_cast<char*>(const_cast<void*>(item.stored));
    } else {
      char* content = StoreCopy(static_cast<const char*>(item.stored), item.length);
      r->clears[index] = XmlClearSection{content, kClearTags[item.row].opening, item.closing};
    }
  }
  items_.Truncate(frame.first_item);
}

// The element on top of the stack is closed; its parent goes on, or closes too when an end
// tag is still pending.
bool Parser::CloseFrame() {
  for (;;) {
    StoreElement();
    frames_.Pop();
    if (frames_.empty()) return false;  // the document record itself closed: parsing ends
    if (pending_end_length_ == 0) return true;
    const Frame& frame = frames_.back();
    if (frame.record->name == nullptr) {
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
      Token name;
      if (!ReadName(&name)) name = NextToken();
      if (name.kind != TokenKind::kWord) {
        error_ = kXmlMissingStartTagName;
        return false;
      }
      OpenElement(name.start, name.length, token.kind == TokenKind::kOpenDecl);
      return true;
    }
    case TokenKind::kOpenEnd: {
      if (!FlushText(token.start)) return false;
      Token name;
      if (!ReadName(&name)) name = NextToken();
      if (name.kind != TokenKind::kWord || !ReadClose()) {
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
        if (frame.record->is_declaration && frame.attribute_name_length > 0 &&
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

// The storage, and the document record as the open element.
XmlElementRecord* Parser::Begin() {
  NewBlock(0);
  XmlElementRecord* document = NewElementRecord(nullptr, 0, false);
  frames_.Push() = Frame{document, nullptr, 0, false, AttributePhase::kExpectName,
                         nullptr,  0,       0, 0,     {0, 0, 0, 0}};
  return document;
}

XmlElementRecord* Parser::Run() {
  XmlElementRecord* document = Begin();
  for (;;) {
    bool in_start_tag = frames_.back().in_start_tag;
    Token token;
    if (in_start_tag) {
      if (frames_.back().phase == AttributePhase::kExpectName) {
        int read;
        while ((read = ReadQuotedAttribute()) > 0) {
        }
        if (read < 0) break;
        // The tag's end, as NextToken would read it.
        const char* p = SkipSpace(pos_, limit_);
        if (*p == '>') {
          pos_ = p + 1;
          frames_.back().in_start_tag = false;
          pending_text_ = pos_;
          continue;
        }
        if (*p == '/' && p[1] == '>') {
          // CloseFrame, knowing that no end tag is pending and that the parent is open.
          pos_ = p + 2;
          pending_text_ = pos_;
          StoreElement();
          frames_.Pop();
          continue;
        }
      }
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
      const Frame& frame = frames_.back();
      if (!frame.record->is_declaration && frames_.size() > 1) {
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
  while (!frames_.empty()) {
    StoreElement();
    frames_.Pop();
  }
  handed_over_ = true;
  return document;
}

// A text of the parse's own copy from start up to end, trimmed, decoded and terminated where
// it lies.
bool Parser::StoreTextInPlace(char* start, char* end, bool ampersand) {
  while (end > start && IsXmlSpace(end[-1])) --end;
  if (ampersand) {
    ptrdiff_t decoded = DecodeInPlace(start, static_cast<size_t>(end - start), &error_);
    if (decoded < 0) return false;
    end = start + decoded;
  }
  *end = '\0';
  AddText(start);
  return true;
}

// Reads a text made only of the common shapes: elements and declarations whose attributes
// are all name="value" or name='value', end tags that repeat the open element's name exactly,
// and text without a bad reference. Each shape is read as the tokens would read it, but from
// the parse's own copy of the text, where names, values and texts stay: each is terminated in
// place once the byte after it has been read. Anything else, and every error or warning,
// gives up with null.
XmlElementRecord* Parser::RunCommon() {
  XmlElementRecord* document = Begin();
  const char* const text = pos_;
  auto length = static_cast<size_t>(limit_ - text);
  char* const copy = Allocate(length + 1);
  std::memcpy(copy, text, length + 1);
  pos_ = copy;
  limit_ = copy + length;
  // Positions found by the scanners, in the copy, to write to.
  auto own = [copy](const char* at) { return copy + (at - copy); };
  const char* p = copy;
  bool after_tag = false;  // text before the first tag is dropped
  for (;;) {
    p = SpaceRun(p);
    if (*p != '<') {
      if (*p == '\0') break;
      const char* start = p;
      bool ampersand = false;
      p = ScanText(p, &ampersand);
      // The run may end at the "<" that follows, which the markup below does not read again.
      if (after_tag && !StoreTextInPlace(own(start), own(p), ampersand)) return nullptr;
      if (p == limit_) break;
    }
    after_tag = true;
    const char next = p[1];
    if (next == '/') {
      const char* name = p + 2;
      if (frames_.size() == 1 || !kBytes.name_start[Byte(name)]) return nullptr;
      const char* end = WordRun(name + 1);
      const Frame& frame = frames_.back();
      if (static_cast<size_t>(end - name) != frame.name_length ||
          !SameBytes(name, frame.name, frame.name_length)) {
        return nullptr;
      }
      p = IsXmlSpace(*end) ? SpaceRun(end + 1) : end;
      if (*p != '>') return nullptr;
      ++p;
      StoreElement();
      frames_.Pop();
      continue;
    }
    if (next == '!' || (next == 'P' && ClearRowAfter(p + 1) >= 0)) return nullptr;
    const bool declaration = next == '?';
    const char* name = p + (declaration ? 2 : 1);
    if (!kBytes.name_start[Byte(name)]) return nullptr;
    const char* name_end = WordRun(name + 1);
    const size_t first_attribute = attributes_.size();
    p = name_end;
    if (IsXmlSpace(*p)) {
      for (p = SpaceRun(p + 1); kBytes.name_start[Byte(p)]; p = SpaceRun(p)) {
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
        p = ScanQuoted(value, quote, &ampersand, true);
        if (*p != quote) return nullptr;
        char* stored = own(value);
        if (ampersand) {
          ptrdiff_t decoded = DecodeInPlace(stored, static_cast<size_t>(p - value), &error_);
          if (decoded < 0) return nullptr;
          stored[decoded] = '\0';
        }
        *own(p) = '\0';
        *own(attribute_end) = '\0';
        PutAttribute(&attributes_.Push(), own(attribute), stored);
        ++p;
      }
    }
    bool closes;
    if (*p == '>') {
      closes = false;
      p += 1;
    } else if ((*p == '/' || *p == '?') && p[1] == '>') {
      // A nested declaration closes like an empty element; one in the document stays open.
      closes = *p == '/' || frames_.size() > 1;
      p += 2;
    } else {
      return nullptr;
    }
    const auto name_length = static_cast<size_t>(name_end - name);
    *own(name_end) = '\0';
    if (closes) {
      AddChild(NewEmptyRecord(own(name), declaration, first_attribute));
    } else {
      XmlElementRecord* r = AddChild(NewRecordNamed(own(name), declaration));
      PushFrame(r, name, name_length, first_attribute, false);
    }
  }
  if (frames_.size() > 1 && !frames_.back().record->is_declaration) return nullptr;
  while (!frames_.empty()) {
    StoreElement();
    frames_.Pop();
  }
  // Parsing stopped at the end of the caller's text, where a warning for a text without
  // elements points.
  pos_ = limit_ = text + length;
  handed_over_ = true;
  return document;
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
  // Most texts take the common shapes only; any other is read again by the general parser.
  Parser common(text);
  XmlElementRecord* read = common.RunCommon();
  std::optional<Parser> general;
  if (read == nullptr) {
    general.emplace(text);
    read = general->Run();
  }
  const Parser& parser = general ? *general : common;
  XmlNode document(read);

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
