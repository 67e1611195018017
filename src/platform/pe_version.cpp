#include "platform/pe_version.h"

#include <fstream>
#include <iterator>

namespace platform {
namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;

struct Reader {
  const std::string& bytes;
  bool ok = true;

  uint32_t U16(size_t at) {
    if (at + 2 > bytes.size()) return Fail();
    return Byte(at) | Byte(at + 1) << 8;
  }
  uint32_t U32(size_t at) {
    if (at + 4 > bytes.size()) return Fail();
    return Byte(at) | Byte(at + 1) << 8 | Byte(at + 2) << 16 | Byte(at + 3) << 24;
  }
  uint32_t Byte(size_t at) const { return static_cast<unsigned char>(bytes[at]); }
  uint32_t Fail() {
    ok = false;
    return 0;
  }
};

// Maps a relative virtual address to a file offset through the section table.
Expected<size_t, PeVersionError> RvaToOffset(Reader& r, size_t sections, uint32_t count,
                                             uint32_t rva) {
  for (uint32_t i = 0; i < count && r.ok; ++i) {
    size_t s = sections + i * 40;
    uint32_t virtual_size = r.U32(s + 8);
    uint32_t virtual_address = r.U32(s + 12);
    uint32_t raw_size = r.U32(s + 16);
    uint32_t raw_offset = r.U32(s + 20);
    uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
    if (rva >= virtual_address && rva < virtual_address + span) {
      if (!r.ok) break;
      return static_cast<size_t>(raw_offset) + (rva - virtual_address);
    }
  }
  return MakeError(PeVersionError::kNoVersion);
}

// The first entry of a resource directory whose id matches (or any entry when want is 0);
// returns its offset field.
Expected<uint32_t, PeVersionError> FirstEntry(Reader& r, size_t dir, uint32_t want) {
  uint32_t named = r.U16(dir + 12);
  uint32_t ids = r.U16(dir + 14);
  for (uint32_t i = 0; i < named + ids && r.ok; ++i) {
    size_t entry = dir + 16 + i * 8;
    uint32_t name = r.U32(entry);
    if (want == 0 || name == want) {
      uint32_t field = r.U32(entry + 4);
      if (!r.ok) break;
      return field;
    }
  }
  return MakeError(PeVersionError::kNoVersion);
}

}  // namespace

Expected<PeFixedVersion, PeVersionError> ParsePeFixedVersion(const std::string& image) {
  const Error<PeVersionError> no_version = MakeError(PeVersionError::kNoVersion);
  Reader r{image};
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return no_version;
  size_t pe = r.U32(0x3C);
  if (r.U32(pe) != 0x00004550) return no_version;  // "PE\0\0"
  size_t coff = pe + 4;
  uint32_t section_count = r.U16(coff + 2);
  uint32_t optional_size = r.U16(coff + 16);
  size_t optional = coff + 20;
  uint32_t magic = r.U16(optional);
  size_t directories = optional + (magic == 0x20B ? 112 : 96);
  if (magic != 0x10B && magic != 0x20B) return no_version;
  uint32_t resource_rva = r.U32(directories + 2 * 8);
  size_t sections = optional + optional_size;
  if (!r.ok || resource_rva == 0) return no_version;
  Expected<size_t, PeVersionError> root = RvaToOffset(r, sections, section_count, resource_rva);
  if (!root) return no_version;

  // Three levels: type, name, language. Subdirectory offsets are relative to the root.
  Expected<uint32_t, PeVersionError> type = FirstEntry(r, *root, kResourceTypeVersion);
  if (!type || !(*type & kSubdirectoryBit)) return no_version;
  Expected<uint32_t, PeVersionError> name = FirstEntry(r, *root + (*type & ~kSubdirectoryBit), 0);
  if (!name || !(*name & kSubdirectoryBit)) return no_version;
  Expected<uint32_t, PeVersionError> language =
      FirstEntry(r, *root + (*name & ~kSubdirectoryBit), 0);
  if (!language || (*language & kSubdirectoryBit)) return no_version;
  size_t data_entry = *root + *language;
  uint32_t data_rva = r.U32(data_entry);
  uint32_t data_size = r.U32(data_entry + 4);
  if (!r.ok) return no_version;
  Expected<size_t, PeVersionError> found = RvaToOffset(r, sections, section_count, data_rva);
  if (!found) return no_version;
  const size_t data = *found;

  // VS_VERSIONINFO: the fixed information follows the key, aligned to 4 bytes.
  for (size_t at = data; at + 52 <= data + data_size && at + 52 <= image.size(); at += 4) {
    if (r.U32(at) == kFixedInfoSignature) {
      PeFixedVersion version{r.U32(at + 8), r.U32(at + 12), r.U32(at + 16), r.U32(at + 20)};
      if (!r.ok) return no_version;
      return version;
    }
  }
  return no_version;
}

Expected<PeFixedVersion, PeVersionError> ReadPeFixedVersion(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return MakeError(PeVersionError::kUnreadable);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParsePeFixedVersion(image);
}

}  // namespace platform
