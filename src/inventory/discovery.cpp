#include "inventory/discovery.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/run_flags.h"
#include "env/file_exists.h"
#include "inventory/adapter_inventory.h"
#include "inventory/catalog.h"
#include "inventory/hex_reader.h"
#include "inventory/installed_firmware.h"
#include "platform/platform.h"
#include "ui/user_interface.h"
#include "update/flash_tool.h"
#include "update/tool_runner.h"
#include "xml/xml_node.h"

namespace {

constexpr char kReportRoot[] = "zelt_rom_discovery";
constexpr char kExpectedReportType[] = "RAVARE_NIC";

// What one ReadDiscoveryReport call gathers besides the records it adds.
struct Reading {
  int32_t result = 1;
  std::string last_active_version;
  std::string last_package_rom;
  std::string takes_effect;
};

enum class Walk { kGoOn, kStop };

bool NameIs(const XmlNode& node, const char* name) {
  const char* actual = node.Name();
  return actual && std::strcmp(actual, name) == 0;
}

// Every datum sits in a value attribute; absent or valueless reads as " ".
std::string ValueOf(const XmlNode& node) {
  const char* value = node.AttributeValue("value");
  return value ? value : " ";
}

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// A decimal number the way a lenient C conversion reads it: 0 when there are no digits.
int32_t ReadDecimal(const std::string& text) {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int32_t>(value);
}

// A bad ID is a warning, not a stop: the field reads 0 and the port fails the lookup.
int32_t ReadId(const XmlNode& node, const char* what, const char* tag) {
  try {
    return ReadStrictHex(node.AttributeValue("value"));
  } catch (const InvalidHexNumber&) {
    UI().Write("Warning!!! - Invalid/Corrupted %s (XML tag: %s) value.\n", what, tag);
    return 0;
  }
}

std::string PciIdText(const AdapterRecord& r) {
  char text[64];
  // Unsigned, so that a negative ID prints its eight digits on every host.
  std::snprintf(text, sizeof text, "%04X-%04X-%04X-%04X", static_cast<uint32_t>(r.venid),
                static_cast<uint32_t>(r.devid), static_cast<uint32_t>(r.subvenid),
                static_cast<uint32_t>(r.subdevid));
  return text;
}

Walk ReadFirmwareItem(const XmlNode& item, AdapterRecord* record, Reading* reading) {
  for (int i = 0; i < item.ChildCount(); ++i) {
    XmlNode child = item.ChildAt(i);
    if (NameIs(child, "type")) {
      std::string type = ValueOf(child);
      if (!EqualsIgnoringCase(type, "rom")) {
        UI().Write(
            "Warning!!! - firmware type is not expected!. Expected type is ROM, current value "
            "is %s\n",
            type.c_str());
        return Walk::kStop;
      }
    } else if (NameIs(child, "firmware_id")) {
      record->firmware_id = ValueOf(child);
    } else if (NameIs(child, "active_version")) {
      record->active_version = ValueOf(child);
      reading->last_active_version = record->active_version;
      if (!record->active_version.empty()) {
        record->installed_version.Parse(record->active_version.c_str(), true);
      }
    } else if (NameIs(child, "version")) {
      record->item_version = ValueOf(child);
    } else if (NameIs(child, "action")) {
      record->action = TrimBlanks(ValueOf(child));
    } else if (NameIs(child, "shared")) {
      record->shared = ValueOf(child) != "NO";
    } else if (NameIs(child, "duration")) {
      record->duration = ReadDecimal(ValueOf(child));
    } else if (NameIs(child, "message")) {
      record->message = ValueOf(child);
    }
  }
  return Walk::kGoOn;
}

// Each device starts from a fresh record and fresh bus, device and function texts, so no
// value of one port leaks into the next.
Walk ReadDevice(const XmlNode& device, Reading* reading) {
  AdapterRecord record;
  std::string bus, dev, func;
  for (int i = 0; i < device.ChildCount(); ++i) {
    XmlNode child = device.ChildAt(i);
    if (NameIs(child, "device_id")) {
      record.device_id = TrimBlanks(ValueOf(child));
    } else if (NameIs(child, "venid")) {
      record.venid = ReadId(child, "vendor ID", "venid");
    } else if (NameIs(child, "devid")) {
      record.devid = ReadId(child, "device ID", "devid");
    } else if (NameIs(child, "subvenid")) {
      record.subvenid = ReadId(child, "sub-vendor ID", "subvenid");
    } else if (NameIs(child, "subdevid")) {
      record.subdevid = ReadId(child, "sub-device ID", "subdevid");
    } else if (NameIs(child, "macaddress")) {
      record.macaddress = ValueOf(child);
    } else if (NameIs(child, "product_id")) {
      record.product_id = ValueOf(child);
    } else if (NameIs(child, "busnumber")) {
      bus = ValueOf(child);
    } else if (NameIs(child, "devicenumber")) {
      dev = ValueOf(child);
    } else if (NameIs(child, "funcnumber")) {
      func = ValueOf(child);
    } else if (NameIs(child, "fw_item")) {
      if (ReadFirmwareItem(child, &record, reading) == Walk::kStop) return Walk::kStop;
    }
    record.bdf = bus + ":" + dev + "." + func;
  }

  record.pci_id = PciIdText(record);
  CatalogEntry entry;
  if (FindCatalogEntry(record.pci_id, &entry) != 0) return Walk::kGoOn;
  reading->result = 0;
  reading->last_package_rom = entry.rom;
  record.flags |= AdapterRecord::kSupported;
  record.available_version = entry.version;
  record.wol = record.pxe = record.ncsi = 0;
  AddAdapter(record);
  return Walk::kGoOn;
}

// Checks the report type; false (after its message) when the report is not for this tool.
bool AcceptReportType(const std::string& type, const std::string& path) {
  if (type == "VARORU_NIC") {
    UI().Write("This VRIT tool can only be used to update P3-series VAroru NICs.\n");
    return false;
  }
  if (type != kExpectedReportType) {
    UI().Write("Unexpected value '%s' in file %s. Expected '%s'.\n", type.c_str(), path.c_str(),
               kExpectedReportType);
    return false;
  }
  return true;
}

}  // namespace

int32_t ReadDiscoveryReport(const std::string& path) {
  if (DiscoveryCompleted()) return 0;
  Reading reading;

  XmlParseOutcome outcome;
  XmlNode root = XmlNode::LoadFile(path.c_str(), kReportRoot, &outcome);
  if (outcome.error != kXmlNoError) {
    LogConfigurationLoadFailure(path, outcome.error);
    return 1;
  }

  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode child = root.ChildAt(i);
    if (NameIs(child, "type")) {
      // Ports read before a refused type stay in the inventory.
      if (!AcceptReportType(ValueOf(child), path)) return 1;
    } else if (NameIs(child, "takes_effect")) {
      reading.takes_effect = ValueOf(child);
    } else if (NameIs(child, "devices")) {
      for (int j = 0; j < child.ChildCount(); ++j) {
        XmlNode device = child.ChildAt(j);
        if (!NameIs(device, "device")) continue;
        if (ReadDevice(device, &reading) == Walk::kStop) return reading.result;
      }
    }
  }

  if (RunFlags::IsSet(RunFlags::VersionOnlyReport)) {
    WriteVersionOnlyReport(reading.last_active_version, reading.last_package_rom,
                           reading.takes_effect);
  }
  return reading.result;
}

int32_t DiscoverAdapters() {
  if (DiscoveryCompleted()) return 0;
  UI().Write("Started device discovery!\n");
  LoadFirmwareCatalog();
  const std::string command = DiscoveryCommand(kDiscoveryReportFile);
  platform::RemoveFile(kDiscoveryReportFile);
  // A discovery that failed earlier may have left ports behind; never list them twice.
  ResetDiscovery();

  uint32_t exit_code = 0;
  bool ran = RunExternalCommand(command, "", &exit_code);
  bool discovered = ran && exit_code == 0 && FileExists(kDiscoveryReportFile) &&
                    ReadDiscoveryReport(kDiscoveryReportFile) == 0;
  if (discovered) {
    MarkDiscoveryCompleted();
    UI().Write("Device discovery completed successfully!\n");
  } else {
    if (!FileExists(kDiscoveryReportFile)) UI().Write("Could not generate discovery file.\n");
    UI().Write("Device discovery failed with error code %d\n", static_cast<int32_t>(exit_code));
  }
  if (FileExists(kDiscoveryReportFile)) platform::RemoveFile(kDiscoveryReportFile);
  return static_cast<int32_t>(exit_code);
}
