#include "xml/xml_entities.h"

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

// Every reference of the run ends at its semicolon and names an entity; a numeric one's
// digits are judged later.
XmlResult<void> CheckReferences(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      i += StepLength(text + i, length - i);
    } else if (IsNumericReference(text + i, length - i)) {
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
  }
  return {};
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

}  // namespace

XmlResult<void> AppendDecoded(const char* text, size_t length, std::string* out) {
  XmlResult<void> checked = CheckReferences(text, length);
  if (!checked) return checked;
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      size_t step = StepLength(text + i, length - i);
      out->append(text + i, step);
      i += step;
    } else if (IsNumericReference(text + i, length - i)) {
      size_t semicolon = 0;
      int value = NumericValue(text, i, &semicolon);
      if (value < 0) return MakeError(kXmlUnknownCharacterEntity);
      if (value > 255) return MakeError(kXmlCharacterCodeAbove255);
      *out += static_cast<char>(static_cast<unsigned char>(value));  // one byte, not UTF-8
      i = semicolon + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      *out += entity->character;
      i += entity->length;
    }
  }
  return {};
}
