#include "adapter/inventory/catalog_files.h"

#include <filesystem>

namespace test {

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& path)
    : saved_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  std::filesystem::current_path(saved_);
}

std::string CatalogText(const std::string& entries) {
  return "<?xml version=\"1.0\"?>\n<nic_fw_package version=\"1.0\">\n<nic>\n" + entries +
         "</nic>\n</nic_fw_package>\n";
}

std::string CatalogEntryXml(const std::string& venid, const std::string& devid,
                            const std::string& subvenid, const std::string& subdevid,
                            const std::string& rom) {
  return "<nic name=\"P3 Adapter\" venid=\"" + venid + "\" devid=\"" + devid + "\" subvenid=\"" +
         subvenid + "\" subdevid=\"" + subdevid + "\" rom=\"" + rom + "\" fwFile=\"p3fw.bin\"/>\n";
}

void LoadCatalogFrom(const TempDir& dir, const std::string& text, FirmwareCatalog* catalog,
                     UserInterface& ui) {
  WriteBytes(dir.File(kSupportingFileName), text);
  ScopedCurrentDirectory cwd(dir.path());
  Ignore(LoadFirmwareCatalog(catalog, ui), "the tests read what was logged");
}

}  // namespace test
