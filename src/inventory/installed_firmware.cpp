#include "inventory/installed_firmware.h"

#include <memory>

#include "app/program.h"
#include "app/run_flags.h"
#include "env/file_exists.h"
#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
#include "ui/user_interface.h"
#include "xml/xml_node.h"

namespace {

const char* StatusText(int32_t value) {
  switch (value) {
    case 0:
      return "n/a";
    case 1:
      return "ON";
    case 2:
      return "NS";
    default:
      return "ERROR: Unexpected value!";
  }
}

// The header positions fit a 17-character MAC, a 5-character B:D.F, the 19-character PCI ID
// and 7-character versions; other lengths shift the rest of their line.
void AppendBlock(AdapterRecord record, std::string* out) {
  std::string& s = *out;
  s += "MAC                  B:D.F     PCI-ID                  NIC\n";
  s += record.macaddress + "    " + record.bdf + "     " + record.pci_id + "     " +
       record.product_id + "\n";
  s += "\n";
  s += "   (Installed)            (Available)     Interface     ";
  s += "          WOL       PXE       NCSI\n";
  s += "Image     Version      Image     Version   \n";
  s += std::string(56, '-') + std::string(45, '-') + "\n";
  s += "ROM       ";
  s += record.installed_version.Format();
  s += "      ROM       ";
  s += record.available_version.Format();
  s += "  " + record.device_id + "     " + StatusText(record.wol) + "       " +
       StatusText(record.pxe) + "       " + StatusText(record.ncsi) + "\n";
  s += "\n";
}

XmlNode ValueElement(const char* name, const std::string& value) {
  XmlNode element = XmlNode::NewRoot(name);
  element.AppendAttribute("value", value.c_str());
  return element;
}

std::string InstalledFirmwareTable() {
  std::string text;
  for (size_t i = 0; i < SupportedAdapterCount(); ++i) {
    const AdapterRecord& record = AdapterAt(i);
    if (record.flags & AdapterRecord::kSupported) AppendBlock(record, &text);
  }
  return text;
}

}  // namespace

int ShowInstalledFirmware() {
  DiscoverAdapters();
  if (SupportedAdapterCount() == 0) return 2;
  // Adapter data may hold a '%': the table is printed as text, never as a format.
  UI().Print("%s", InstalledFirmwareTable().c_str());
  return 0;
}

void WriteVersionOnlyReport(const std::string& current_version, const std::string& package_version,
                            const std::string& takes_effect) {
  XmlNode root = XmlNode::NewRoot("zelt_rom_discovery");
  root.AppendAttribute("version", GetOwnFileVersion().c_str());
  root.AppendChild(ValueElement("type", "RAVARE_NIC"));
  root.AppendChild(ValueElement("alt_name", kProgramTitle));
  root.AppendChild(ValueElement("current_version", current_version));
  root.AppendChild(ValueElement("package_version", package_version));
  root.AppendChild(ValueElement("takes_effect", takes_effect));

  // A failed save is not reported: -ql tells afterwards whether the file exists.
  root.SaveFile(ReportFileName().c_str(), true);
  std::unique_ptr<char[]> text = root.ToText(true);
  UI().Write("Created an XML file with only FW version information!\n%s\n", text ? text.get() : "");
}

int CheckVersionOnlyReport() {
  DiscoverAdapters();
  if (SupportedAdapterCount() == 0 || AdapterListLength() == 0) {
    UI().Print("%s", kNoSupportedAdapters);
    return 4;
  }
  const std::string& name = ReportFileName();
  if (FileExists(name)) {
    UI().Print("Created file %s with only firmware version details.\n", name.c_str());
    return 0;
  }
  UI().Print("Failed to create file %s with only firmware version details!\n", name.c_str());
  return 1;
}
