#include "inventory/catalog.h"

#include <cstring>

#include "ui/user_interface.h"
#include "update/flash_tool.h"
#include "xml/xml_node.h"

namespace {

constexpr char kProgramFileName[] = "Quorvane.exe";
constexpr int kIdWidth = 4;

FirmwareCatalogMap g_catalog;

// An element without a name counts as " ", which matches nothing.
bool NameIs(const XmlNode& node, const char* name) {
  const char* actual = node.Name();
  return std::strcmp(actual ? actual : " ", name) == 0;
}

std::string Attribute(const XmlNode& node, const char* name) {
  const char* value = node.AttributeValue(name);
  return value ? value : " ";
}

std::string PadId(const std::string& id) {
  if (id.size() >= kIdWidth) return id;
  return std::string(kIdWidth - id.size(), '0') + id;
}

// Each entry starts afresh, so an entry without a rom attribute never inherits the version
// of the entry before it.
CatalogEntry ReadEntry(const XmlNode& node) {
  CatalogEntry entry;
  entry.name = Attribute(node, "name");
  entry.venid = Attribute(node, "venid");
  entry.devid = Attribute(node, "devid");
  entry.subvenid = Attribute(node, "subvenid");
  entry.subdevid = Attribute(node, "subdevid");
  entry.rom = Attribute(node, "rom");
  entry.fwFile = Attribute(node, "fwFile");
  if (!entry.rom.empty()) entry.version.Parse(entry.rom.c_str(), true);
  return entry;
}

// Entries stand two levels down: root / nic / nic.
void ReadEntries(const XmlNode& root) {
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode group = root.ChildAt(i);
    if (!NameIs(group, "nic")) continue;
    for (int j = 0; j < group.ChildCount(); ++j) {
      XmlNode element = group.ChildAt(j);
      if (!NameIs(element, "nic")) continue;
      CatalogEntry entry = ReadEntry(element);
      // A new key starts cleared and is then assigned, so a repeated key keeps the last one.
      g_catalog[CatalogKey(entry.venid, entry.devid, entry.subvenid, entry.subdevid)] = entry;
    }
  }
}

}  // namespace

const FirmwareCatalogMap& FirmwareCatalog() {
  return g_catalog;
}
void ResetFirmwareCatalog() {
  g_catalog.clear();
}

std::string CatalogKey(const std::string& venid, const std::string& devid,
                       const std::string& subvenid, const std::string& subdevid) {
  return PadId(venid) + "-" + PadId(devid) + "-" + PadId(subvenid) + "-" + PadId(subdevid);
}

void LogConfigurationLoadFailure(const std::string& path, int code) {
  UI().Write("Loading configuration file %s failed. Error code: %d.\n", path.c_str(), code);
}

void LoadFirmwareCatalog() {
  XmlParseOutcome outcome;
  XmlNode root = XmlNode::LoadFile(kSupportingFileName, "nic_fw_package", &outcome);
  if (outcome.error != kXmlNoError) {
    LogConfigurationLoadFailure(kSupportingFileName, outcome.error);
    if (outcome.error == kXmlFileNotFound) {
      UI().Write(
          "File Not found!- Please make sure %s and %s are present in the same directory where "
          "%s is located.\n",
          kFlashToolName, kFlashToolX86Name, kProgramFileName);
    }
    return;
  }
  ReadEntries(root);
}

int FindCatalogEntry(const std::string& pci_id, CatalogEntry* entry) {
  auto found = g_catalog.find(pci_id);
  if (found == g_catalog.end()) {
    UI().Write("NIC with PCI ID %s is not identified as a supported VAroru P3 NIC.\n",
               pci_id.c_str());
    return 1;
  }
  *entry = found->second;
  return 0;
}
