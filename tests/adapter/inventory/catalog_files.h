// Helpers for tests that read NICFWData.xml, which the catalog takes from the current directory.
#pragma once

#include <string>

#include "adapter/inventory/catalog.h"
#include "support/files.h"

namespace test {

// Makes a directory the current one while the object lives.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& path);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string saved_;
};

// A whole catalog file around these entry elements: root / nic / entries.
std::string CatalogText(const std::string& entries);
// An entry element with the four IDs and a rom attribute.
std::string CatalogEntryXml(const std::string& venid, const std::string& devid,
                            const std::string& subvenid, const std::string& subdevid,
                            const std::string& rom);
// Writes NICFWData.xml into dir and loads it from there.
void LoadCatalogFrom(const TempDir& dir, const std::string& text, FirmwareCatalog* catalog,
                     UserInterface& ui);

}  // namespace test
