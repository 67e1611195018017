// Loading and saving whole files, and the public ways to read a text.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "xml/xml_element.h"
#include "xml/xml_node.h"
#include "xml/xml_wide.h"

namespace {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The bytes of a file followed by 4 NULs: two end a UTF-16 text, one a narrow text. An error
// kXmlFileNotFound when the file cannot be opened or read (a directory), kXmlNoXmlData when
// it holds nothing.
XmlResult<std::string> ReadWholeFile(const char* path) {
  std::unique_ptr<std::FILE, CloseFile> file(path ? std::fopen(path, "rb") : nullptr);
  if (file == nullptr) return MakeError(kXmlFileNotFound);
  long length = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) length = std::ftell(file.get());
  // The first byte is read before anything is allocated: a directory reports a size but
  // cannot be read.
  int first = EOF;
  if (length > 0 && std::fseek(file.get(), 0, SEEK_SET) == 0) first = std::fgetc(file.get());
  if (first == EOF) {
    bool empty = length == 0 || (length > 0 && !std::ferror(file.get()));
    return MakeError(empty ? kXmlNoXmlData : kXmlFileNotFound);
  }
  std::string bytes(static_cast<size_t>(length) + 4, '\0');
  bytes[0] = static_cast<char>(first);
  size_t size = 1 + std::fread(&bytes[1], 1, static_cast<size_t>(length) - 1, file.get());
  bytes.resize(size + 4);
  return bytes;
}

const unsigned char kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};
const char kHeaderLine[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

XmlReading ReadXmlFile(const char* path, const char* required_tag) {
  XmlResult<std::string> read = ReadWholeFile(path);
  if (!read) return XmlReading{XmlNode(), read.error()};
  const auto* bytes = reinterpret_cast<const unsigned char*>(read->data());
  size_t size = read->size() - 4;
  if (LooksLikeUtf16(bytes, size)) {
    bool marked = (bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xEF && bytes[1] == 0xFF);
    return ReadXmlText(Utf16ToUtf8(bytes + (marked ? 2 : 0)).c_str(), required_tag);
  }
  bool marked = size >= 3 && std::memcmp(bytes, kUtf8Mark, 3) == 0;
  return ReadXmlText(read->c_str() + (marked ? 3 : 0), required_tag);
}

XmlResult<XmlNode> Strict(XmlReading reading) {
  if (reading.status.code == kXmlNoError) return std::move(reading.node);
  return reading.status;
}

}  // namespace

XmlResult<XmlNode> XmlNode::LoadFile(const char* path, const char* required_tag) {
  return Strict(ReadXmlFile(path, required_tag));
}

XmlResult<XmlNode> XmlNode::ParseText(const char* text, const char* required_tag) {
  return Strict(ReadXmlText(text, required_tag));
}

XmlNode XmlNode::LoadRepaired(const char* path, const char* required_tag) {
  return ReadXmlFile(path, required_tag).node;
}

XmlNode XmlNode::ParseRepaired(const char* text, const char* required_tag) {
  return ReadXmlText(text, required_tag).node;
}

XmlResult<void> XmlNode::SaveFile(const char* path, bool formatted) const {
  if (element_ == nullptr) return {};
  std::FILE* file = path ? std::fopen(path, "wb") : nullptr;
  if (file == nullptr) return MakeError(kXmlCannotOpenForWriting);
  XmlResult<void> saved = SaveTo(file, formatted);
  if (std::fclose(file) != 0) return MakeError(kXmlCannotWrite);
  return saved;
}

XmlResult<void> XmlNode::SaveTo(std::FILE* file, bool formatted) const {
  if (element_ == nullptr) return {};
  // A tree that starts with its own declaration gets no second header.
  XmlNode first = ChildAt(0);
  bool named = element_->has_name && !element_->name.empty();
  bool header =
      !element_->is_declaration && (named || (!first.IsNull() && !first.IsDeclarationElement()));
  bool ok = std::fwrite(kUtf8Mark, 1, 3, file) == 3;
  if (ok && header) ok = std::fputs(kHeaderLine, file) != EOF;
  if (ok) {
    std::string text = ToText(formatted);
    ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  }
  if (std::fflush(file) != 0) ok = false;
  if (!ok) return MakeError(kXmlCannotWrite);
  return {};
}
