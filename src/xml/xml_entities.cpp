#include "xml/xml_entities.h"

#include <cstring>

#include "xml/xml_element.h"

namespace {

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

// The measuring pass: the decoded length, or an error for a reference without its semicolon
// or an unknown entity.
Expected<size_t> MeasureDecoded(const char* text, size_t length) {
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
      if (j >= length || text[j] != ';') return MakeError(kXmlUnknownCharacterEntity);
      i = j + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      if (entity == nullptr) return MakeError(kXmlUnknownCharacterEntity);
      i += entity->length;
    }
    ++out;
  }
  return out;
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
Expected<void> CheckNumericReferences(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      i += StepLength(text + i, length - i);
      continue;
    }
    if (IsNumericReference(text + i, length - i)) {
      size_t end = 0;
      int value = NumericValue(text, i, &end);
      if (value < 0) return MakeError(kXmlUnknownCharacterEntity);
      if (value > 255) return MakeError(kXmlCharacterCodeAbove255);
      i = end + 1;
    } else {
      i += MatchEntity(text + i, length - i)->length;
    }
  }
  return {};
}

}  // namespace

Expected<size_t> DecodedLength(const char* text, size_t length) {
  // Most runs are short and hold no reference: one pass finds the first NUL or ampersand.
  size_t plain = 0;
  while (plain < length && text[plain] != '\0' && text[plain] != '&') ++plain;
  if (plain == length || text[plain] == '\0') return plain;
  const void* nul = std::memchr(text + plain, '\0', length - plain);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  Expected<size_t> decoded = MeasureDecoded(text, length);
  if (!decoded) return decoded;
  Expected<void> checked = CheckNumericReferences(text, length);
  if (!checked) return checked.error();
  return decoded;
}

void DecodeInto(const char* text, size_t length, char* out) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    // The characters up to the next reference are copied as one run, stepped exactly as the
    // measuring pass stepped them: a lead byte may take an ampersand into its character.
    size_t end = i;
    while (end < length && text[end] != '\0' && text[end] != '&') {
      unsigned char c = static_cast<unsigned char>(text[end]);
      end += c < 0xC2 ? 1 : StepLength(text + end, length - end);
    }
    std::memcpy(out, text + i, end - i);
    out += end - i;
    i = end;
    if (i >= length || text[i] == '\0') break;
    if (IsNumericReference(text + i, length - i)) {
      size_t semicolon = 0;
      // Stored as one byte, not encoded as UTF-8.
      *out++ = static_cast<char>(static_cast<unsigned char>(NumericValue(text, i, &semicolon)));
      i = semicolon + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      *out++ = entity->character;
      i += entity->length;
    }
  }
}
