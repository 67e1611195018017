// The byte scanners of the XML readers. Internal to the XML layer.
//
// Each scanner gives the first position at or after p whose byte ends a run of some class;
// limit is the text's NUL, and no scanner reads past it. One interface, two paths: where
// SSE2 exists the scanners test 16 bytes at a time while 16 are left, so that a short run
// costs one well-predicted branch instead of one per byte; the portable path (any other
// processor, or QV_XML_PORTABLE_SCAN defined) steps through byte tables. Both give the same
// position for every text. The hot loops call these inline, so they stay in this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "xml/xml_record.h"

#if defined(__SSE2__) && !defined(QV_XML_PORTABLE_SCAN)
#define QV_XML_SCAN_SSE2 1
#include <emmintrin.h>
#endif

// Byte classes for the scanning loops. The "plain" classes mark the bytes a loop steps over
// one at a time; it stops at any other, NUL always among them, and at lead bytes of longer
// characters, so that the character length table decides how far to step.
struct XmlByteClasses {
  bool space[256];
  bool word_plain[256];      // all but NUL, whitespace, "/", "<", "=", ">"
  bool name_start[256];      // word_plain without the quotes: starts a word token
  bool quote_plain[2][256];  // all but NUL, "<", "&" and the double or the single quote
  bool text_plain[256];      // all but NUL, "<", "&"
  constexpr XmlByteClasses() : space(), word_plain(), name_start(), quote_plain(), text_plain() {
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
// Constant-initialised, read-only, one copy in each reader's file.
constexpr XmlByteClasses kXmlBytes;

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

inline const bool* QuotePlain(char quote) {
  return kXmlBytes.quote_plain[quote == '"' ? 0 : 1];
}

#if defined(QV_XML_SCAN_SSE2)

namespace xml_sse2 {

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

// 16 bytes a step while 16 are left, then the byte table.
template <typename Stops>
inline const char* Scan(const char* p, const char* limit, const bool* plain, Stops stops) {
  while (limit - p >= 16) {
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops(Bytes16(p))));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
  return SkipPlain(p, plain);
}

// a and b start with the same length bytes (at most 16); both hold 16 bytes from there.
inline bool SameBlock(const char* a, const char* b, size_t length) {
  auto same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Bytes16(a), Bytes16(b))));
  unsigned wanted = (1u << length) - 1;
  return (same & wanted) == wanted;
}

}  // namespace xml_sse2

inline const char* SkipSpace(const char* p, const char* limit) {
  using namespace xml_sse2;
  // Inside tags whitespace comes one byte at a time.
  if (!kXmlBytes.space[Byte(p)]) return p;
  if (!kXmlBytes.space[Byte(p + 1)]) return p + 1;
  return Scan(p + 2, limit, kXmlBytes.space, [](__m128i x) {
    __m128i space = _mm_or_si128(_mm_or_si128(Equal(x, ' '), Equal(x, '\t')),
                                 _mm_or_si128(Equal(x, '\n'), Equal(x, '\r')));
    return _mm_xor_si128(space, _mm_set1_epi8(-1));
  });
}

// Bytes up to the space (whitespace and other control characters), "/", "<", "=", ">" and
// lead bytes; the caller steps over the control characters that do not end a word.
inline const char* ScanWordRun(const char* p, const char* limit) {
  using namespace xml_sse2;
  return Scan(p, limit, kXmlBytes.word_plain, [](__m128i x) {
    __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(' ')), x);
    __m128i marks = _mm_sub_epi8(x, _mm_set1_epi8('<'));  // "<", "=" and ">" become 0 to 2
    marks = _mm_cmpeq_epi8(_mm_min_epu8(marks, _mm_set1_epi8(2)), marks);
    return _mm_or_si128(_mm_or_si128(low, marks), _mm_or_si128(Equal(x, '/'), LeadBytes(x)));
  });
}

inline const char* ScanQuotedRun(const char* p, const char* limit, char quote) {
  using namespace xml_sse2;
  return Scan(p, limit, QuotePlain(quote), [quote](__m128i x) {
    __m128i markup = _mm_or_si128(Equal(x, '<'), Equal(x, '&'));
    return _mm_or_si128(_mm_or_si128(markup, Equal(x, quote)), LeadBytes(x));
  });
}

inline const char* ScanTextRun(const char* p, const char* limit) {
  using namespace xml_sse2;
  return Scan(p, limit, kXmlBytes.text_plain, [](__m128i x) {
    return _mm_or_si128(_mm_or_si128(Equal(x, '<'), Equal(x, '&')), LeadBytes(x));
  });
}

#else  // portable: a byte at a time

inline const char* SkipSpace(const char* p, const char*) {
  return SkipPlain(p, kXmlBytes.space);
}

inline const char* ScanWordRun(const char* p, const char*) {
  return SkipPlain(p, kXmlBytes.word_plain);
}

inline const char* ScanQuotedRun(const char* p, const char*, char quote) {
  return SkipPlain(p, QuotePlain(quote));
}

inline const char* ScanTextRun(const char* p, const char*) {
  return SkipPlain(p, kXmlBytes.text_plain);
}

#endif

// Byte-at-a-time forms of the scanners, for the short runs in and between tags that the
// common shapes are made of: each step is a branch the processor predicts, so it runs ahead,
// where the next block scan would wait for the last one's result.
inline const char* SpaceRun(const char* p) {
  while (kXmlBytes.space[Byte(p)]) ++p;
  return p;
}
inline const char* WordRun(const char* p) {
  return SkipPlain(p, kXmlBytes.word_plain);
}

// The "<" or NUL that ends a run of text starting at p, stepping character by character as
// the tokenizer would; *ampersand is set when the run holds an "&".
inline const char* ScanText(const char* p, const char* limit, bool* ampersand) {
  for (;;) {
    p = ScanTextRun(p, limit);
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

// The closing quote of a quoted value starting at p, or the "<" or NUL where a value without
// one stops; *ampersand is set when the value holds an "&". A short run steps byte by byte.
inline const char* ScanQuoted(const char* p, const char* limit, char quote, bool* ampersand,
                              bool short_run = false) {
  for (;;) {
    p = short_run ? SkipPlain(p, QuotePlain(quote)) : ScanQuotedRun(p, limit, quote);
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
inline int ClearRowAfter(const char* p) {
  for (int row = 0; row < kClearTagCount; ++row) {
    const XmlClearTag& tag = kClearTags[row];
    if (std::strncmp(p, tag.opening + 1, tag.opening_length - 1) == 0) return row;
  }
  return -1;
}

// Two runs of a text (whose NUL is at limit) hold the same length bytes.
inline bool SameBytes(const char* a, const char* b, size_t length, const char* limit) {
#if defined(QV_XML_SCAN_SSE2)
  if (length <= 16 && limit - a >= 16 && limit - b >= 16) return xml_sse2::SameBlock(a, b, length);
#else
  (void)limit;
#endif
  return std::memcmp(a, b, length) == 0;
}

// True when one 16-byte comparison shows that a and b start with the same length bytes
// (length under 16). False when they differ, when the comparison does not fit before limit,
// and always on the portable path: the caller then compares byte by byte.
inline bool SameShortStart(const char* a, const char* b, size_t length, const char* limit) {
#if defined(QV_XML_SCAN_SSE2)
  return length < 16 && limit - a >= 16 && limit - b >= 16 && xml_sse2::SameBlock(a, b, length);
#else
  (void)a;
  (void)b;
  (void)length;
  (void)limit;
  return false;
#endif
}

// Copies length bytes of a text (whose NUL is at limit) to out, in a block that ends at
// out_end. A piece of up to 32 bytes is copied as two 16-byte blocks, overlapping or reaching
// past it, where the text and the block both hold 16 bytes from there: the bytes past the
// piece are free.
inline void CopyPiece(char* out, const char* out_end, const char* in, const char* limit,
                      size_t length) {
#if defined(QV_XML_SCAN_SSE2)
  if (length <= 32 && limit - in >= 16 && out_end - out >= 16) {
    __m128i head = xml_sse2::Bytes16(in);
    if (length > 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + length - 16),
                       xml_sse2::Bytes16(in + length - 16));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), head);
    return;
  }
#else
  (void)out_end;
  (void)limit;
#endif
  std::memcpy(out, in, length);
}

// Writes an attribute entry with one store where a 16-byte one exists, so that the copy that
// reads it whole need not wait for two stores to reach the cache.
inline void PutAttribute(XmlAttributeEntry* entry, char* name, char* value) {
#if defined(QV_XML_SCAN_SSE2)
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(entry),
      _mm_set_epi64x(reinterpret_cast<intptr_t>(value), reinterpret_cast<intptr_t>(name)));
#else
  entry->name = name;
  entry->value = value;
#endif
}
