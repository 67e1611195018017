#include "adapter/inventory/installed_firmware.h"

#include <cstdio>
#include <memory>

#include "messages/messages.h"
#include "platform/platform.h"
#include "xml/xml_node.h"

namespace {

// The header positions fit a 17-character MAC, a 5-character B:D.F, the 19-character PCI ID
// and 7-character versions; other lengths shift the rest of their line.
void AppendBlock(AdapterRecord record, std::string* out) {
  std::string& s = *out;
  s += msg::kTableHeader;
  s += record.macaddress + "    " + record.bdf + "     " + record.pci_id + "     " +
       record.product_id + "\n";
  s += "\n";
  s += msg::kTableColumns;
  s += std::string(56, '-') + std::string(45, '-') + "\n";
  s += msg::kTableRom;
  s += record.installed_version.Format();
  s += "      ";
  s += msg::kTableRom;
  s += record.available_version.Format();
  // No discovery reports the wake-on-LAN, PXE and NC-SI states: their columns hold a mark.
  const std::string none = msg::kStatusOff;
  s += "  " + record.device_id + "     " + none + "       " + none + "       " + none + "\n";
  s += "\n";
}

XmlNode ValueElement(const char* name, const std::string& value) {
  XmlNode element = XmlNode::NewRoot(name);
  element.AppendAttribute("value", value.c_str());
  return element;
}

}  // namespace

std::string InstalledFirmwareTable(const AdapterInventory& inventory) {
  std::string text;
  for (const AdapterRecord& record : inventory) AppendBlock(record, &text);
  return text;
}

Expected<void, platform::OpenStatus> WriteVersionOnlyReport(
    const std::string& path, const VersionSummary& summary, UserInterface& ui,
    const platform::FileIds& protected_files) {
  XmlNode root = XmlNode::NewRoot("zelt_rom_discovery");
  root.AppendAttribute("version", platform::OwnFileVersion().value_or(msg::kNoFileVersion).c_str());
  root.AppendChild(ValueElement("type", "RAVARE_NIC"));
  root.AppendChild(ValueElement("alt_name", msg::kProgramTitle));
  root.AppendChild(ValueElement("current_version", summary.current_version));
  root.AppendChild(ValueElement("package_version", summary.package_version));
  root.AppendChild(ValueElement("takes_effect", summary.takes_effect));

  // One open decides and writes: what the name leads to cannot change in between.
  Expected<std::FILE*, platform::OpenStatus> opened =
      platform::OpenForWriting(path, platform::WriteMode::kReplace, protected_files);
  bool saved = false;
  if (opened) {
    saved = root.SaveTo(*opened, true).ok();
    if (std::fclose(*opened) != 0) saved = false;
  } else if (opened.error().code == platform::OpenStatus::kIsLink) {
    ui.Write(msg::kRefusedLink, path.c_str());
    return opened.error();
  } else if (opened.error().code == platform::OpenStatus::kProtected) {
    ui.Write(msg::kRefusedProtectedFile, path.c_str());
    return opened.error();
  }
  ui.Write(msg::kVersionOnlyReportLogged, root.ToText(true).c_str());
  if (saved) return {};
  ui.Write(msg::kVersionOnlyFileNotWritten, path.c_str());
  return MakeError(platform::OpenStatus::kFailed);
}
