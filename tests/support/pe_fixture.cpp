#include "support/pe_fixture.h"

namespace test {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionRva = 0x1000;

void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// VS_VERSIONINFO with the fixed information and no string tables.
std::string VersionResource(uint32_t most, uint32_t least) {
  std::string r(92, '\0');
  Put16(r, 0, 92);  // wLength
  Put16(r, 2, 52);  // wValueLength: the fixed information
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof key - 1; ++i) Put16(r, 6 + 2 * i, static_cast<uint8_t>(key[i]));
  size_t fixed = 40;  // 6 + 32 bytes of key, aligned to 4
  Put32(r, fixed, 0xFEEF04BD);
  Put32(r, fixed + 4, 0x00010000);
  Put32(r, fixed + 8, most);  // file version
  Put32(r, fixed + 12, least);
  Put32(r, fixed + 16, most);  // product version
  Put32(r, fixed + 20, least);
  Put32(r, fixed + 24, 0x3F);
  Put32(r, fixed + 32, 0x00040004);  // VOS_NT_WINDOWS32
  Put32(r, fixed + 36, 3);           // VFT_DRV
  return r;
}

// Root (type 16) -> name 1 -> language 0x409 -> data entry -> VS_VERSIONINFO.
std::string ResourceSection(const std::string& version) {
  std::string s(88, '\0');
  auto directory = [&s](size_t at, uint32_t id, uint32_t target) {
    Put16(s, at + 14, 1);  // one id entry
    Put32(s, at + 16, id);
    Put32(s, at + 20, target);
  };
  directory(0, 16, 0x80000000u | 24);
  directory(24, 1, 0x80000000u | 48);
  directory(48, 0x409, 72);
  Put32(s, 72, kSectionRva + 88);
  Put32(s, 76, static_cast<uint32_t>(version.size()));
  return s + version;
}

}  // namespace

std::string MakeVersionedPe(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision) {
  std::string section = ResourceSection(
      VersionResource(uint32_t{major} << 16 | minor, uint32_t{build} << 16 | revision));
  uint32_t raw_size = (static_cast<uint32_t>(section.size()) + kFileAlignment - 1) /
                      kFileAlignment * kFileAlignment;
  section.resize(raw_size, '\0');

  std::string b(kFileAlignment, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  Put32(b, 0x40, 0x00004550);  // "PE\0\0"
  size_t coff = 0x44;
  Put16(b, coff, 0x8664);       // x86-64
  Put16(b, coff + 2, 1);        // one section
  Put16(b, coff + 16, 240);     // optional header size (PE32+)
  Put16(b, coff + 18, 0x2022);  // executable image, large-address aware, DLL
  size_t opt = coff + 20;
  Put16(b, opt, 0x20B);
  Put32(b, opt + 8, raw_size);      // size of initialised data
  Put32(b, opt + 24, 0x80000000u);  // image base (low half of 0x180000000)
  Put32(b, opt + 28, 0x1);          // image base (high half)
  Put32(b, opt + 32, 0x1000);       // section alignment
  Put32(b, opt + 36, kFileAlignment);
  Put16(b, opt + 40, 6);                     // operating system version
  Put16(b, opt + 48, 6);                     // subsystem version
  Put32(b, opt + 56, kSectionRva + 0x1000);  // size of image
  Put32(b, opt + 60, kFileAlignment);        // size of headers
  Put16(b, opt + 68, 1);                     // native subsystem, as drivers have
  Put32(b, opt + 72, 0x100000);              // stack reserve
  Put32(b, opt + 80, 0x1000);                // stack commit
  Put32(b, opt + 88, 0x100000);              // heap reserve
  Put32(b, opt + 96, 0x1000);                // heap commit
  Put32(b, opt + 108, 16);                   // data directories
  Put32(b, opt + 112 + 2 * 8, kSectionRva);  // resource directory
  Put32(b, opt + 112 + 2 * 8 + 4, 88 + 92);
  size_t sec = opt + 240;
  b.replace(sec, 5, ".rsrc");
  Put32(b, sec + 8, 88 + 92);  // virtual size
  Put32(b, sec + 12, kSectionRva);
  Put32(b, sec + 16, raw_size);
  Put32(b, sec + 20, kFileAlignment);
  Put32(b, sec + 36, 0x40000040);  // initialised data, readable
  return b + section;
}

}  // namespace test
