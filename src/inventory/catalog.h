// The firmware package's own description, NICFWData.xml: which adapter models the package
// supports and which firmware version it carries for each, keyed by PCI-ID text.
#pragma once

#include <map>
#include <string>

#include "inventory/firmware_version.h"

// The catalog's file name, read from the current directory.
constexpr const char kSupportingFileName[] = "NICFWData.xml";

// One supported adapter model. Absent attributes read as " ". Assignment copies the texts
// and assigns the version by FirmwareVersion's rule.
struct CatalogEntry {
  std::string name;
  std::string venid;
  std::string devid;
  std::string subvenid;
  std::string subdevid;
  std::string rom;  // the package's firmware version, as written
  std::string fwFile;
  FirmwareVersion version;  // parsed from rom
};

// PCI-ID text -> entry, ordered byte-wise. Process-wide; only grows between resets.
using FirmwareCatalogMap = std::map<std::string, CatalogEntry>;
const FirmwareCatalogMap& FirmwareCatalog();
// Empties the catalog (tests).
void ResetFirmwareCatalog();

// The key of four ID texts: each right-aligned in four characters and padded with '0'
// ("100" -> "0100"); longer texts are kept whole.
std::string CatalogKey(const std::string& venid, const std::string& devid,
                       const std::string& subvenid, const std::string& subdevid);

// Reads NICFWData.xml from the current directory into the catalog; failures go to the log.
void LoadFirmwareCatalog();
// 0 and a copy of the entry when pci_id is a key; 1, entry unchanged and a log line when not.
int FindCatalogEntry(const std::string& pci_id, CatalogEntry* entry);

// The log line for an XML file that could not be loaded, by its XmlStatus code.
void LogConfigurationLoadFailure(const std::string& path, int code);
