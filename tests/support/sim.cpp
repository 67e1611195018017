#include "support/sim.h"

#include <cstring>

#include "support/files.h"
#include "xml/xml_node.h"

namespace test {
namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

class ElementText {
 public:
  explicit ElementText(const char* name) : text_("\t<" + std::string(name)) {}
  ElementText& Add(const char* name, const std::string& value) {
    text_ += " " + std::string(name) + "=\"" + Escape(value) + "\"";
    return *this;
  }
  ElementText& Add(const char* name, int value) { return Add(name, std::to_string(value)); }
  ElementText& AddFlag(const char* name, bool value) {
    return Add(name, value ? std::string("yes") : std::string("no"));
  }
  std::string Close() const { return text_ + " />\n"; }

 private:
  std::string text_;
};

std::string PortAttribute(const std::string& package_dir, const std::string& device_id,
                          const char* attribute) {
  std::string path = Join(package_dir, kSimConfigFile);
  XmlNode root = XmlNode::LoadRepaired(path.c_str(), "nxflash_sim");
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode port = root.ChildAt(i);
    const char* id = port.AttributeValue("device_id");
    if (std::strcmp(port.Name(), "port") != 0 || !id || device_id != id) continue;
    const char* value = port.AttributeValue(attribute);
    return value ? value : "";
  }
  return "";
}

}  // namespace

SimPort SimPortAt(const std::string& device_id, const std::string& bus,
                  const std::string& active_version) {
  SimPort p;
  p.device_id = device_id;
  p.bus = bus;
  p.macaddress = "00:0E:1E:00:00:0" + bus;
  p.active_version = active_version;
  return p;
}

void WriteSimConfig(const std::string& package_dir, const std::vector<SimPort>& ports,
                    const SimFaults& faults) {
  std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<nxflash_sim>\n";
  text += ElementText("faults")
              .Add("discovery_exit", faults.discovery_exit)
              .AddFlag("report_missing", faults.report_missing)
              .AddFlag("report_malformed", faults.report_malformed)
              .Add("user_report_exit", faults.user_report_exit)
              .AddFlag("user_report_missing", faults.user_report_missing)
              .AddFlag("user_report_partial", faults.user_report_partial)
              .Add("report_type", faults.report_type)
              .AddFlag("type_after_devices", faults.type_after_devices)
              .Add("fw_type", faults.fw_type)
              .Add("apply_exit", faults.apply_exit)
              .Add("delay_ms", faults.delay_ms)
              .Add("message_mb", faults.message_mb)
              .AddFlag("keep_lock", faults.keep_lock)
              .AddFlag("no_lock", faults.no_lock)
              .AddFlag("crash", faults.crash)
              .Add("report_file", faults.report_file)
              .Close();
  for (const SimPort& p : ports) {
    text += ElementText("port")
                .Add("device_id", p.device_id)
                .Add("product_id", p.product_id)
                .Add("macaddress", p.macaddress)
                .Add("venid", p.venid)
                .Add("devid", p.devid)
                .Add("subvenid", p.subvenid)
                .Add("subdevid", p.subdevid)
                .Add("bus", p.bus)
                .Add("device", p.device)
                .Add("function", p.function)
                .Add("active_version", p.active_version)
                .Add("hwflags", p.hwflags)
                .Add("action", p.action)
                .Add("fw_type", p.fw_type)
                .Add("flash_exit", p.flash_exit)
                .Add("hwflags_reset_exit", p.hwflags_reset_exit)
                .Add("info_exit", p.info_exit)
                .Close();
  }
  text += "</nxflash_sim>\n";
  WriteBytes(Join(package_dir, kSimConfigFile), text);
}

std::vector<std::string> ReadCallLog(const std::string& package_dir) {
  std::string text = ReadText(Join(package_dir, kSimCallLogFile));
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> ReadFlashCalls(const std::string& package_dir) {
  std::vector<std::string> flashes;
  for (const std::string& call : ReadCallLog(package_dir))
    if (Contains(call, " -f -a")) flashes.push_back(call);
  return flashes;
}

std::string SimActiveVersion(const std::string& package_dir, const std::string& device_id) {
  return PortAttribute(package_dir, device_id, "active_version");
}

std::string SimHardwareFlags(const std::string& package_dir, const std::string& device_id) {
  return PortAttribute(package_dir, device_id, "hwflags");
}

}  // namespace test
