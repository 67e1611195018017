// The firmware package's own description, NICFWData.xml: which adapter models the package
// supports and which firmware version it carries for each, keyed by PCI-ID text.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "adapter/inventory/firmware_version.h"
#include "ui/user_interface.h"

// The XML layer's status of a load (xml/xml_node.h), declared here so that the layers above
// see no XML header.
enum XmlStatus : int;

// The catalog's file name, read from the current directory.
constexpr const char kSupportingFileName[] = "NICFWData.xml";
// The utility's own executable, as the package names it.
constexpr const char kProgramFileName[] = "Quorvane.exe";

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

// PCI-ID text -> entry, ordered byte-wise. Only grows during a run: each load adds to it.
using FirmwareCatalog = std::map<std::string, CatalogEntry>;

// The key of four ID texts: each right-aligned in four characters and padded with '0'
// ("100" -> "0100"); longer texts are kept whole.
std::string CatalogKey(const std::string& venid, const std::string& devid,
                       const std::string& subvenid, const std::string& subdevid);

// Reads NICFWData.xml from the current directory into the catalog. A failure is logged here
// and leaves the catalog as it was; its error is the load's XmlStatus.
Expected<void, XmlStatus> LoadFirmwareCatalog(FirmwareCatalog* catalog, UserInterface& ui);
// The firmware image names (fwFile) of NICFWData.xml, read without a log line: nothing when
// the catalog cannot be read.
std::vector<std::string> CatalogImageFiles();
// The entry of a PCI-ID text; null, after a log line, when the catalog does not know it.
const CatalogEntry* FindCatalogEntry(const FirmwareCatalog& catalog, const std::string& pci_id,
                                     UserInterface& ui);

// The log line for an XML file that could not be loaded, by its XmlStatus code.
void LogConfigurationLoadFailure(UserInterface& ui, const std::string& path, XmlStatus code);
