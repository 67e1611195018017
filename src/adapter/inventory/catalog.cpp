#include "adapter/inventory/catalog.h"

#include <cstring>

#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "xml/xml_node.h"

namespace {

constexpr int kIdWidth = 4;

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
CatalogEntry ReadEntry(const XmlNode& node, UserInterface& ui) {
  CatalogEntry entry;
  entry.name = Attribute(node, "name");
  entry.venid = Attribute(node, "venid");
  entry.devid = Attribute(node, "devid");
  entry.subvenid = Attribute(node, "subvenid");
  entry.subdevid = Attribute(node, "subdevid");
  entry.rom = Attribute(node, "rom");
  entry.fwFile = Attribute(node, "fwFile");
  if (!entry.rom.empty()) {
    entry.version.Parse(entry.rom.c_str(), true);
    ui.Trace(msg::kParsedVersion, entry.version.text());
  }
  return entry;
}

// Entries stand two levels down: root / nic / nic.
template <typename Visit>
void ForEachEntryElement(const XmlNode& root, Visit visit) {
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode group = root.ChildAt(i);
    if (!NameIs(group, "nic")) continue;
    for (int j = 0; j < group.ChildCount(); ++j) {
      XmlNode element = group.ChildAt(j);
      if (NameIs(element, "nic")) visit(element);
    }
  }
}

void ReadEntries(const XmlNode& root, FirmwareCatalog* catalog, UserInterface& ui) {
  ForEachEntryElement(root, [&](const XmlNode& element) {
    CatalogEntry entry = ReadEntry(element, ui);
    // A new key starts cleared and is then assigned, so a repeated key keeps the last one.
    (*catalog)[CatalogKey(entry.venid, entry.devid, entry.subvenid, entry.subdevid)] = entry;
  });
}

}  // namespace

std::string CatalogKey(const std::string& venid, const std::string& devid,
                       const std::string& subvenid, const std::string& subdevid) {
  return PadId(venid) + "-" + PadId(devid) + "-" + PadId(subvenid) + "-" + PadId(subdevid);
}

void LogConfigurationLoadFailure(UserInterface& ui, const std::string& path, XmlStatus code) {
  ui.Write(msg::kLoadFailed, path.c_str(), static_cast<int>(code));
}

Expected<void, XmlStatus> LoadFirmwareCatalog(FirmwareCatalog* catalog, UserInterface& ui) {
  XmlResult<XmlNode> root = XmlNode::LoadFile(kSupportingFileName, "nic_fw_package");
  if (!root) {
    LogConfigurationLoadFailure(ui, kSupportingFileName, root.error().code);
    if (root.error().code == kXmlFileNotFound) {
      ui.Write(msg::kPackageFilesMissing, kFlashToolName, kFlashToolX86Name, kProgramFileName);
    }
    return root.error();
  }
  ReadEntries(*root, catalog, ui);
  return {};
}

std::vector<std::string> CatalogImageFiles() {
  XmlResult<XmlNode> root = XmlNode::LoadFile(kSupportingFileName, "nic_fw_package");
  std::vector<std::string> files;
  if (!root) return files;
  ForEachEntryElement(*root, [&](const XmlNode& element) {
    if (const char* file = element.AttributeValue("fwFile")) files.push_back(file);
  });
  return files;
}

const CatalogEntry* FindCatalogEntry(const FirmwareCatalog& catalog, const std::string& pci_id,
                                     UserInterface& ui) {
  auto found = catalog.find(pci_id);
  if (found == catalog.end()) {
    ui.Write(msg::kNotSupported, pci_id.c_str());
    return nullptr;
  }
  return &found->second;
}
