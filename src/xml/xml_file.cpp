// Loading and saving whole files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "xml/xml_node.h"
#include "xml/xml_record.h"
#include "xml/xml_wide.h"

namespace {

// The bytes read, followed by 4 NULs: two end a UTF-16 text, one a narrow text. Null when
// the file cannot be opened or read, a directory for one (*error 10), or holds nothing
// (*error 3).
unsigned char* ReadWholeFile(const char* path, size_t* size, int* error) {
  std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) {
    *error = kXmlFileNotFound;
    return nullptr;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  unsigned char* buffer = nullptr;
  *error = length == 0 ? kXmlNoXmlData : kXmlFileNotFound;
  // The first byte is read before anything is allocated: a directory reports a size but
  // cannot be read.
  int first = EOF;
  if (length > 0 && std::fseek(file, 0, SEEK_SET) == 0) first = std::fgetc(file);
  if (first == EOF) {
    if (length > 0 && !std::ferror(file)) *error = kXmlNoXmlData;
  } else {
    try {
      buffer = static_cast<unsigned char*>(XmlAllocate(static_cast<size_t>(length) + 4));
    } catch (...) {
      std::fclose(file);
      throw;
    }
  }
  if (buffer != nullptr) {
    buffer[0] = static_cast<unsigned char>(first);
    *size = 1 + std::fread(buffer + 1, 1, static_cast<size_t>(length) - 1, file);
    std::memset(buffer + *size, 0, 4);
  }
  std::fclose(file);
  return buffer;
}

const unsigned char kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};

struct FreeBuffer {
  void operator()(unsigned char* buffer) const { std::free(buffer); }
};
using Buffer = std::unique_ptr<unsigned char, FreeBuffer>;
const char kHeaderLine[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// A clean parse's element, or its status and where it stopped.
XmlResult<XmlNode> Strict(XmlNode::Findings findings) {
  const XmlParseOutcome& outcome = findings.outcome;
  if (outcome.error == kXmlNoError) return std::move(findings.node);
  std::string where;
  if (outcome.line > 0) {
    where = "line " + std::to_string(outcome.line) + ", column " + std::to_string(outcome.column);
  }
  return MakeError(static_cast<XmlStatus>(outcome.error), where);
}

}  // namespace

XmlResult<XmlNode> XmlNode::LoadFile(const char* path, const char* required_tag) {
  return Strict(ReadFile(path, required_tag));
}

XmlResult<XmlNode> XmlNode::ParseText(const char* text, const char* required_tag) {
  return Strict(ReadText(text, required_tag));
}

XmlNode::Findings XmlNode::ReadFile(const char* path, const char* required_tag) {
  Findings findings;
  int error = 0;
  size_t size = 0;
  // Parsing may throw std::bad_alloc; the buffer is freed either way.
  Buffer buffer(ReadWholeFile(path, &size, &error));
  if (buffer == nullptr) {
    findings.outcome.error = error;
    return findings;
  }
  size_t skip = 0;
  const unsigned char* bytes = buffer.get();
  if (LooksLikeUtf16(bytes, size)) {
    if ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xEF && bytes[1] == 0xFF)) {
      skip = 2;
    }
    buffer.reset(reinterpret_cast<unsigned char*>(Utf16ToUtf8(bytes + skip)));
    skip = 0;
    if (buffer == nullptr) {
      findings.outcome.error = kXmlWideCharConversion;
      return findings;
    }
  } else if (size >= 3 && std::memcmp(bytes, kUtf8Mark, 3) == 0) {
    skip = 3;
  }
  return ReadText(reinterpret_cast<const char*>(buffer.get() + skip), required_tag);
}

XmlResult<void> XmlNode::SaveFile(const char* path, bool formatted) const {
  if (record_ == nullptr) return {};
  std::FILE* file = path ? std::fopen(path, "wb") : nullptr;
  if (file == nullptr) return MakeError(kXmlCannotOpenForWriting);
  XmlResult<void> saved = SaveTo(file, formatted);
  if (std::fclose(file) != 0) return MakeError(kXmlCannotWrite);
  return saved;
}

XmlResult<void> XmlNode::SaveTo(std::FILE* file, bool formatted) const {
  if (record_ == nullptr) return {};
  // A tree that starts with its own declaration gets no second header.
  XmlNode first = ChildAt(0);
  bool named = record_->name != nullptr && record_->name[0] != '\0';
  bool header =
      !record_->is_declaration && (named || (!first.IsNull() && !first.IsDeclarationElement()));
  bool ok = std::fwrite(kUtf8Mark, 1, 3, file) == 3;
  if (ok && header) ok = std::fputs(kHeaderLine, file) != EOF;
  if (ok) {
    int length = 0;
    std::unique_ptr<char[]> text = ToText(formatted, &length);
    ok = std::fwrite(text.get(), 1, static_cast<size_t>(length), file) ==
         static_cast<size_t>(length);
  }
  if (std::fflush(file) != 0) ok = false;
  if (!ok) return MakeError(kXmlCannotWrite);
  return {};
}
