#include "xml/xml_entities.h"

#include <cstdlib>
#include <cstring>

#include "xml/xml_node.h"
#include "xml/xml_record.h"

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

// Returns the decoded length, or -1 (error set) for a reference without its semicolon or an
// unknown entity.
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

// Copies the decoded run to out; the run has been measured, so every reference ends with its
// semicolon. Returns false (error set) for a bad digit or a value above 255.
bool CopyDecoded(const char* text, size_t length, char* out, int* error) {
  size_t i = 0;
  while (i < length && text[i] != '\0') {
    if (text[i] != '&') {
      size_t step = StepLength(text + i, length - i);
      std::memcpy(out, text + i, step);
      out += step;
      i += step;
      continue;
    }
    if (IsNumericReference(text + i, length - i)) {
      size_t j = i + 2;
      bool hexadecimal = text[j] == 'x' || text[j] == 'X';
      if (hexadecimal) ++j;
      int value = 0;
      for (; text[j] != ';'; ++j) {
        int digit = DigitValue(text[j], hexadecimal);
        if (digit < 0) {
          *error = kXmlUnknownCharacterEntity;
          return false;
        }
        value = value * (hexadecimal ? 16 : 10) + digit;
        if (value > 256) value = 256;  // saturate: long digit runs must not overflow
      }
      if (value > 255) {
        *error = kXmlCharacterCodeAbove255;
        return false;
      }
      // Stored as one byte, not encoded as UTF-8.
      *out++ = static_cast<char>(static_cast<unsigned char>(value));
      i = j + 1;
    } else {
      const XmlEntity* entity = MatchEntity(text + i, length - i);
      *out++ = entity->character;
      i += entity->length;
    }
  }
  return true;
}

}  // namespace

char* DecodeEntities(const char* text, size_t length, const char* prefix, int* error) {
  size_t prefix_length = prefix ? std::strlen(prefix) : 0;
  const void* nul = std::memchr(text, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  char* result;
  if (std::memchr(text, '&', length) == nullptr) {
    // No references: the run is copied as it stands.
    result = static_cast<char*>(std::malloc(prefix_length + length + 1));
    std::memcpy(result + prefix_length, text, length);
    result[prefix_length + length] = '\0';
  } else {
    ptrdiff_t decoded_length = MeasureDecoded(text, length, error);
    if (decoded_length < 0) return nullptr;
    result =
        static_cast<char*>(std::malloc(prefix_length + static_cast<size_t>(decoded_length) + 1));
    if (!CopyDecoded(text, length, result + prefix_length, error)) {
      std::free(result);
      return nullptr;
    }
    result[prefix_length + static_cast<size_t>(decoded_length)] = '\0';
  }
  if (prefix_length > 0) std::memcpy(result, prefix, prefix_length);
  return result;
}
