#include "adapter/inventory/discovery.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <utility>

#include "adapter/inventory/hex_reader.h"
#include "adapter/inventory/temporary_file.h"
#include "adapter/tool/command_lines.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "xml/xml_node.h"

namespace {

constexpr char kReportRoot[] = "zelt_rom_discovery";
constexpr char kExpectedReportType[] = "RAVARE_NIC";

enum class Walk { kGoOn, kStop };

// One report's reading: the report being filled, where its messages go, and the ports it
// holds so far by their numbers.
struct Reader {
  const FirmwareCatalog& catalog;
  UserInterface& ui;
  DiscoveryReport report;
  std::unordered_set<std::string> kept_ports;
};

bool NameIs(const XmlNode& node, const char* name) {
  const char* actual = node.Name();
  return actual && std::strcmp(actual, name) == 0;
}

// Every datum sits in a value attribute; absent or valueless reads as " ".
std::string ValueOf(const XmlNode& node) {
  const char* value = node.AttributeValue("value");
  return value ? value : " ";
}

// A bad ID is a warning, not a stop: the field reads 0 and the port fails the lookup.
int32_t ReadId(Reader& reader, const XmlNode& node, const char* what, const char* tag) {
  Expected<int32_t, HexError> id = ReadStrictHex(node.AttributeValue("value"));
  if (id) return *id;
  reader.ui.Write(msg::kInvalidId, what, tag);
  return 0;
}

// A bus, device or function number as the duplicate rule sees it, so that every spelling of
// one number is one text: without XML white space at its ends, one leading '+' and a 0x
// prefix, in lower case and without leading zeros. None when what is left is no hexadecimal
// number (a sign, a point, another letter, nothing at all).
std::optional<std::string> PortNumber(const std::string& text) {
  std::string number = platform::Trim(text, " \t\r\n\v\f");
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  if (number.size() >= 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X'))
    number.erase(0, 2);
  if (number.empty() || number.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  for (char& c : number) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  size_t first = number.find_first_not_of('0');
  return first == std::string::npos ? std::string("0") : number.substr(first);
}

// Attribute values hold no NUL, so the three parts cannot run into one another. None when a
// part is no number: such a port has no address the tool could be given.
std::optional<std::string> PortKey(const std::string& bus, const std::string& dev,
                                   const std::string& func) {
  std::optional<std::string> parts[] = {PortNumber(bus), PortNumber(dev), PortNumber(func)};
  for (const std::optional<std::string>& part : parts) {
    if (!part) return std::nullopt;
  }
  return *parts[0] + '\0' + *parts[1] + '\0' + *parts[2];
}

std::string PciIdText(const AdapterRecord& r) {
  char text[64];
  // Unsigned, so that a negative ID prints its eight digits on every host.
  std::snprintf(text, sizeof text, "%04X-%04X-%04X-%04X", static_cast<uint32_t>(r.venid),
                static_cast<uint32_t>(r.devid), static_cast<uint32_t>(r.subvenid),
                static_cast<uint32_t>(r.subdevid));
  return text;
}

Walk ReadFirmwareItem(Reader& reader, const XmlNode& item, AdapterRecord* record) {
  for (int i = 0; i < item.ChildCount(); ++i) {
    XmlNode child = item.ChildAt(i);
    if (NameIs(child, "type")) {
      std::string type = ValueOf(child);
      if (!platform::EqualsIgnoringCase(type, "rom")) {
        reader.ui.Write(msg::kUnexpectedFirmwareType, type.c_str());
        reader.report.refusal = "firmware-type";
        return Walk::kStop;
      }
    } else if (NameIs(child, "active_version")) {
      record->active_version = ValueOf(child);
      reader.report.summary.current_version = record->active_version;
      if (!record->active_version.empty()) {
        record->installed_version.Parse(record->active_version.c_str(), true);
        reader.ui.Trace(msg::kParsedVersion, record->installed_version.text());
      }
    } else if (NameIs(child, "action")) {
      record->action = platform::Trim(ValueOf(child));
    }
  }
  return Walk::kGoOn;
}

// Each device starts from a fresh record and fresh bus, device and function texts, so no
// value of one port leaks into the next.
Walk ReadDevice(Reader& reader, const XmlNode& device) {
  AdapterRecord record;
  std::string bus, dev, func;
  for (int i = 0; i < device.ChildCount(); ++i) {
    XmlNode child = device.ChildAt(i);
    if (NameIs(child, "device_id")) {
      record.device_id = platform::Trim(ValueOf(child));
    } else if (NameIs(child, "venid")) {
      record.venid = ReadId(reader, child, "vendor ID", "venid");
    } else if (NameIs(child, "devid")) {
      record.devid = ReadId(reader, child, "device ID", "devid");
    } else if (NameIs(child, "subvenid")) {
      record.subvenid = ReadId(reader, child, "sub-vendor ID", "subvenid");
    } else if (NameIs(child, "subdevid")) {
      record.subdevid = ReadId(reader, child, "sub-device ID", "subdevid");
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
      if (ReadFirmwareItem(reader, child, &record) == Walk::kStop) return Walk::kStop;
    }
    record.bdf = bus + ":" + dev + "." + func;
  }

  record.pci_id = PciIdText(record);
  const CatalogEntry* entry = FindCatalogEntry(reader.catalog, record.pci_id, reader.ui);
  if (!entry) return Walk::kGoOn;
  std::optional<std::string> key = PortKey(bus, dev, func);
  if (!key) {
    reader.ui.Write(msg::kPortNumberInvalid, record.bdf.c_str(), record.device_id.c_str());
    return Walk::kGoOn;
  }
  // A port listed twice would be flashed twice: the first listing stands.
  if (!reader.kept_ports.insert(std::move(*key)).second) {
    reader.ui.Write(msg::kDuplicatePort, record.bdf.c_str(), record.device_id.c_str());
    record.available_version = entry->version;
    reader.report.duplicates.push_back(std::move(record));
    return Walk::kGoOn;
  }
  reader.report.found_supported = true;
  reader.report.summary.package_version = entry->rom;
  record.available_version = entry->version;
  reader.report.ports.push_back(std::move(record));
  return Walk::kGoOn;
}

bool IsRefusedType(const std::string& type) {
  return type != kExpectedReportType;
}

// The first type element that refuses the report, or -1. It is found before any port is
// read, so that no early stop can let the ports of a refused report through.
int FindRefusingType(const XmlNode& root) {
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode child = root.ChildAt(i);
    if (NameIs(child, "type") && IsRefusedType(ValueOf(child))) return i;
  }
  return -1;
}

// Logs why the report is refused and drops whatever was read of it.
DiscoveryReport Refuse(Reader& reader, const XmlNode& type_element, const std::string& path) {
  std::string type = ValueOf(type_element);
  DiscoveryReport refused;
  refused.loaded = true;
  if (type == "VARORU_NIC") {
    reader.ui.Write(msg::kOtherFamilyReport);
    refused.refusal = "other-family";
  } else {
    reader.ui.Write(msg::kUnexpectedReportType, type.c_str(), path.c_str(), kExpectedReportType);
    refused.refusal = "report-type";
  }
  return refused;
}

}  // namespace

DiscoveryReport ReadDiscoveryReport(const std::string& path, const FirmwareCatalog& catalog,
                                    UserInterface& ui) {
  Reader reader{catalog, ui, {}, {}};
  XmlResult<XmlNode> loaded = XmlNode::LoadFile(path.c_str(), kReportRoot);
  if (!loaded) {
    LogConfigurationLoadFailure(ui, path, loaded.error().code);
    return reader.report;
  }
  const XmlNode& root = *loaded;
  reader.report.loaded = true;

  // Room for every port listed, so that neither the list nor the set grows by copying.
  size_t listed = 0;
  for (int i = 0; i < root.ChildCount(); ++i) {
    if (NameIs(root.ChildAt(i), "devices"))
      listed += static_cast<size_t>(root.ChildAt(i).ChildCount());
  }
  reader.kept_ports.reserve(listed);
  reader.report.ports.reserve(listed);
  // The device lines before a refusing type are logged in document order all the same.
  const int refusing = FindRefusingType(root);
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode child = root.ChildAt(i);
    if (i == refusing) return Refuse(reader, child, path);
    if (NameIs(child, "takes_effect")) {
      reader.report.summary.takes_effect = ValueOf(child);
    } else if (NameIs(child, "devices")) {
      for (int j = 0; j < child.ChildCount(); ++j) {
        XmlNode device = child.ChildAt(j);
        if (!NameIs(device, "device")) continue;
        if (ReadDevice(reader, device) == Walk::kStop) {
          if (refusing >= 0) return Refuse(reader, root.ChildAt(refusing), path);
          return std::move(reader.report);
        }
      }
    }
  }
  reader.report.read_to_end = true;
  return std::move(reader.report);
}

Discovery DiscoverAdapters(FlashTool& tool, FirmwareCatalog* catalog, UserInterface& ui,
                           ReportObserver* observer) {
  ui.Write(msg::kDiscoveryStarted);
  Ignore(LoadFirmwareCatalog(catalog, ui), "logged; an empty catalog supports no port");
  // An old report must not pass for the tool's answer; if it stays, the tool replaces it.
  Ignore(platform::RemoveFile(kDiscoveryReportFile), "usually there is none");

  Discovery discovery;
  TemporaryFileGuard report_file(kDiscoveryReportFile);
  ToolResult run = tool.Run(DiscoveryCommand(kDiscoveryReportFile));
  discovery.call = ToolRunOf(run);
  discovery.end = !run              ? DiscoveryEnd::kToolNotRun
                  : !Succeeded(run) ? DiscoveryEnd::kToolFailed
                                    : DiscoveryEnd::kNoReport;
  bool discovered = false;
  if (Succeeded(run) && platform::FileExists(kDiscoveryReportFile)) {
    DiscoveryReport report = ReadDiscoveryReport(kDiscoveryReportFile, *catalog, ui);
    if (report.read_to_end && observer) observer->ReportRead(report.summary);
    discovered = report.found_supported;
    discovery.end = !report.loaded            ? DiscoveryEnd::kReportUnreadable
                    : !report.refusal.empty() ? DiscoveryEnd::kReportRefused
                                              : DiscoveryEnd::kNoAdapter;
    discovery.refusal = report.refusal;
    discovery.report_read = report.loaded;
    discovery.summary = report.summary;
    discovery.duplicates = std::move(report.duplicates);
    discovery.ports = std::move(report.ports);
  }
  if (discovered) {
    discovery.end = DiscoveryEnd::kFound;
    ui.Write(msg::kDiscoveryCompleted);
  } else {
    if (!platform::FileExists(kDiscoveryReportFile)) ui.Write(msg::kNoDiscoveryFile);
    ui.Write(msg::kDiscoveryFailed, static_cast<int32_t>(discovery.call.exit_code));
  }
  if (platform::FileExists(kDiscoveryReportFile)) {
    Ignore(platform::RemoveFile(kDiscoveryReportFile), "the next discovery removes it first");
  }
  return discovery;
}
