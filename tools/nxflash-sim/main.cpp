// The substitute flash tool: answers the utility's command lines over simulated adapter
// ports described in nxflash-sim.xml (see README.md), keeping its changes in that file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter/env/instance_lock.h"
#include "adapter/tool/command_lines.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "xml/xml_node.h"

namespace {

constexpr char kConfigFile[] = "nxflash-sim.xml";
constexpr char kCallLogFile[] = "nxflash-calls.log";
constexpr char kCatalogFile[] = "NICFWData.xml";

enum ExitCode {
  kOk = 0,
  kUsage = 1,
  kUnreadable = 2,
  kNoSuchPort = 3,
  kNoPackage = 4,
  kNoWrite = 5
};

struct Port {
  std::string device_id, product_id, macaddress;
  std::string venid, devid, subvenid, subdevid;
  std::string bus, device, function;
  std::string active_version, hwflags, action, fw_type;
  int flash_exit = 0;
  int hwflags_reset_exit = 0;
  int info_exit = 0;

  // Blanks around the numbers do not count, as they would not on a command line.
  std::string Bdf() const {
    return platform::Trim(bus) + ":" + platform::Trim(device) + "." + platform::Trim(function);
  }
};

struct Faults {
  int discovery_exit = 0;
  bool report_missing = false;
  bool report_malformed = false;
  int user_report_exit = 0;
  bool user_report_missing = false;
  bool user_report_partial = false;
  std::string report_type;
  bool type_after_devices = false;
  std::string fw_type;
  int apply_exit = 0;
  int delay_ms = 0;
  int message_mb = 0;
  bool keep_lock = false;
  bool no_lock = false;
  bool crash = false;
  std::string report_file;
};

struct Sim {
  Faults faults;
  std::vector<Port> ports;
};

// ---- Reading and writing nxflash-sim.xml -------------------------------------------------

std::string Text(const XmlNode& node, const char* name, const char* fallback) {
  const char* value = node.AttributeValue(name);
  return value ? value : fallback;
}

int Number(const XmlNode& node, const char* name) {
  const char* value = node.AttributeValue(name);
  return value ? std::atoi(value) : 0;
}

bool Flag(const XmlNode& node, const char* name) {
  std::string value = Text(node, name, "no");
  return value == "yes" || value == "1" || value == "true";
}

bool IsNamed(const XmlNode& node, const char* name) {
  return node.Name() && std::strcmp(node.Name(), name) == 0;
}

Faults ReadFaults(const XmlNode& node) {
  Faults f;
  f.discovery_exit = Number(node, "discovery_exit");
  f.report_missing = Flag(node, "report_missing");
  f.report_malformed = Flag(node, "report_malformed");
  f.user_report_exit = Number(node, "user_report_exit");
  f.user_report_missing = Flag(node, "user_report_missing");
  f.user_report_partial = Flag(node, "user_report_partial");
  f.report_type = Text(node, "report_type", "RAVARE_NIC");
  f.type_after_devices = Flag(node, "type_after_devices");
  f.fw_type = Text(node, "fw_type", "rom");
  f.apply_exit = Number(node, "apply_exit");
  f.delay_ms = Number(node, "delay_ms");
  f.message_mb = Number(node, "message_mb");
  f.keep_lock = Flag(node, "keep_lock");
  f.no_lock = Flag(node, "no_lock");
  f.crash = Flag(node, "crash");
  f.report_file = Text(node, "report_file", "");
  return f;
}

Port ReadPort(const XmlNode& node) {
  Port p;
  p.device_id = Text(node, "device_id", "NIC1");
  p.product_id = Text(node, "product_id", "P3 Dual Port 10GbE Server Adapter");
  p.macaddress = Text(node, "macaddress", "00:0E:1E:00:00:01");
  p.venid = Text(node, "venid", "4040");
  p.devid = Text(node, "devid", "0100");
  p.subvenid = Text(node, "subvenid", "1234");
  p.subdevid = Text(node, "subdevid", "00AB");
  p.bus = Text(node, "bus", "4");
  p.device = Text(node, "device", "0");
  p.function = Text(node, "function", "0");
  p.active_version = Text(node, "active_version", "4.0.534");
  p.hwflags = Text(node, "hwflags", "none");
  p.action = Text(node, "action", "");
  p.fw_type = Text(node, "fw_type", "");
  p.flash_exit = Number(node, "flash_exit");
  p.hwflags_reset_exit = Number(node, "hwflags_reset_exit");
  p.info_exit = Number(node, "info_exit");
  return p;
}

bool LoadSim(Sim* sim) {
  XmlNode root = XmlNode::LoadRepaired(kConfigFile, "nxflash_sim");
  if (root.IsNull()) return false;
  sim->faults = ReadFaults(XmlNode());
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode child = root.ChildAt(i);
    if (IsNamed(child, "faults")) sim->faults = ReadFaults(child);
    if (IsNamed(child, "port")) sim->ports.push_back(ReadPort(child));
  }
  return true;
}

// A parentless element with its attributes, ready to be appended.
class Element {
 public:
  explicit Element(const char* name) : node_(XmlNode::NewRoot(name)) {}
  Element& Set(const char* name, const std::string& value) {
    node_.AppendAttribute(name, value.c_str());
    return *this;
  }
  Element& Set(const char* name, int value) { return Set(name, std::to_string(value)); }
  Element& SetFlag(const char* name, bool value) {
    return Set(name, std::string(value ? "yes" : "no"));
  }
  XmlNode node() const { return node_; }

 private:
  XmlNode node_;
};

bool SaveSim(const Sim& sim) {
  XmlNode root = XmlNode::NewRoot("nxflash_sim");
  const Faults& f = sim.faults;
  root.AppendChild(Element("faults")
                       .Set("discovery_exit", f.discovery_exit)
                       .SetFlag("report_missing", f.report_missing)
                       .SetFlag("report_malformed", f.report_malformed)
                       .Set("user_report_exit", f.user_report_exit)
                       .SetFlag("user_report_missing", f.user_report_missing)
                       .SetFlag("user_report_partial", f.user_report_partial)
                       .Set("report_type", f.report_type)
                       .SetFlag("type_after_devices", f.type_after_devices)
                       .Set("fw_type", f.fw_type)
                       .Set("apply_exit", f.apply_exit)
                       .Set("delay_ms", f.delay_ms)
                       .Set("message_mb", f.message_mb)
                       .SetFlag("keep_lock", f.keep_lock)
                       .SetFlag("no_lock", f.no_lock)
                       .SetFlag("crash", f.crash)
                       .Set("report_file", f.report_file)
                       .node());
  for (const Port& p : sim.ports) {
    root.AppendChild(Element("port")
                         .Set("device_id", p.device_id)
                         .Set("product_id", p.product_id)
                         .Set("macaddress", p.macaddress)
                         .Set("venid", p.venid)
                         .Set("devid", p.devid)
                         .Set("subvenid", p.subvenid)
                         .Set("subdevid", p.subdevid)
                         .Set("bus", p.bus)
                         .Set("device", p.device)
                         .Set("function", p.function)
                         .Set("active_version", p.active_version)
                         .Set("hwflags", p.hwflags)
                         .Set("action", p.action)
                         .Set("fw_type", p.fw_type)
                         .Set("flash_exit", p.flash_exit)
                         .Set("hwflags_reset_exit", p.hwflags_reset_exit)
                         .Set("info_exit", p.info_exit)
                         .node());
  }
  return root.SaveFile(kConfigFile, true).ok();
}

// ---- The package catalog -----------------------------------------------------------------

// IDs compare as hexadecimal numbers where both read as such, else as texts.
bool SameId(const std::string& a, const std::string& b) {
  char* end_a = nullptr;
  char* end_b = nullptr;
  unsigned long x = std::strtoul(a.c_str(), &end_a, 16);
  unsigned long y = std::strtoul(b.c_str(), &end_b, 16);
  if (!a.empty() && !b.empty() && *end_a == '\0' && *end_b == '\0') return x == y;
  return a == b;
}

// The package firmware version for the port's PCI ID, or "" when the package has none.
std::string PackageVersion(const Port& port) {
  XmlNode root = XmlNode::LoadRepaired(kCatalogFile, "nic_fw_package");
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode group = root.ChildAt(i);
    if (!IsNamed(group, "nic")) continue;
    for (int j = 0; j < group.ChildCount(); ++j) {
      XmlNode entry = group.ChildAt(j);
      if (IsNamed(entry, "nic") && SameId(Text(entry, "venid", ""), port.venid) &&
          SameId(Text(entry, "devid", ""), port.devid) &&
          SameId(Text(entry, "subvenid", ""), port.subvenid) &&
          SameId(Text(entry, "subdevid", ""), port.subdevid)) {
        return Text(entry, "rom", "");
      }
    }
  }
  return "";
}

// ---- Operations --------------------------------------------------------------------------

Port* FindPort(Sim* sim, const std::string& key, bool by_bdf) {
  for (Port& p : sim->ports) {
    if ((by_bdf ? p.Bdf() : p.device_id) == key) return &p;
  }
  std::fprintf(stderr, "No adapter port with %s %s.\n", by_bdf ? "bus address" : "device ID",
               key.c_str());
  return nullptr;
}

int FlashPort(Port* port) {
  if (port->flash_exit != 0) {
    std::fprintf(stderr, "Flashing %s failed.\n", port->device_id.c_str());
    return port->flash_exit;
  }
  std::string version = PackageVersion(*port);
  if (version.empty()) {
    std::fprintf(stderr, "No firmware in %s for %s.\n", kCatalogFile, port->device_id.c_str());
    return kNoPackage;
  }
  std::printf("Flashing %s from %s to %s ... done.\n", port->device_id.c_str(),
              port->active_version.c_str(), version.c_str());
  port->active_version = version;
  return kOk;
}

int Save(const Sim& sim, int code) {
  if (SaveSim(sim)) return code;
  std::fprintf(stderr, "Cannot write %s.\n", kConfigFile);
  return kNoWrite;
}

void AddDatum(XmlNode parent, const char* name, const std::string& value) {
  parent.AppendChild(Element(name).Set("value", value).node());
}

// Stands for a huge message in the tree; WriteWithHugeMessages streams it out, so the tool
// itself never holds the message in memory (it may run under the utility's memory limit).
constexpr char kHugeMessageMark[] = "@huge-message@";

bool WriteWithHugeMessages(const std::string& file, const std::string& text, int megabytes) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) return false;
  const std::string chunk(1 << 20, 'x');
  size_t from = 0;
  for (size_t at = text.find(kHugeMessageMark); at != std::string::npos;
       at = text.find(kHugeMessageMark, from)) {
    std::fwrite(text.data() + from, 1, at - from, out);
    for (int i = 0; i < megabytes; ++i) std::fwrite(chunk.data(), 1, chunk.size(), out);
    from = at + std::strlen(kHugeMessageMark);
  }
  std::fwrite(text.data() + from, 1, text.size() - from, out);
  return std::fclose(out) == 0;
}

XmlNode ReportDevice(const Port& p, const Faults& faults) {
  XmlNode device = XmlNode::NewRoot("device");
  AddDatum(device, "device_id", p.device_id);
  AddDatum(device, "venid", p.venid);
  AddDatum(device, "devid", p.devid);
  AddDatum(device, "subvenid", p.subvenid);
  AddDatum(device, "subdevid", p.subdevid);
  AddDatum(device, "macaddress", p.macaddress);
  AddDatum(device, "product_id", p.product_id);
  AddDatum(device, "busnumber", p.bus);
  AddDatum(device, "devicenumber", p.device);
  AddDatum(device, "funcnumber", p.function);
  AddDatum(device, "slotnumber", p.bus);
  AddDatum(device, "nictype", "P3");
  XmlNode item = XmlNode::NewRoot("fw_item");
  std::string package = PackageVersion(p);
  AddDatum(item, "type", p.fw_type.empty() ? faults.fw_type : p.fw_type);
  AddDatum(item, "firmware_id", "p3rom");
  AddDatum(item, "active_version", p.active_version);
  AddDatum(item, "version", package.empty() ? p.active_version : package);
  AddDatum(item, "action", p.action);
  AddDatum(item, "shared", "NO");
  AddDatum(item, "duration", "60");
  AddDatum(item, "message", faults.message_mb > 0 ? kHugeMessageMark : "");
  device.AppendChild(item);
  return device;
}

// Copies a report the test wrote, for contents the tool would never write itself.
int CopyReport(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = in ? std::fopen(to.c_str(), "wb") : nullptr;
  bool copied = out != nullptr;
  char buffer[4096];
  for (size_t n; copied && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    copied = std::fwrite(buffer, 1, n, out) == n;
  if (in) std::fclose(in);
  if (out && std::fclose(out) != 0) copied = false;
  if (copied) return kOk;
  std::fprintf(stderr, "Cannot copy %s to %s.\n", from.c_str(), to.c_str());
  return kNoWrite;
}

int Discover(const Sim& sim, const std::string& file) {
  const Faults& faults = sim.faults;
  // A report for the user (any name but the utility's own temporary one) can fail alone.
  if (file != "tempNicList.xml" && (faults.user_report_exit != 0 || faults.user_report_missing)) {
    if (faults.user_report_partial) {
      if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fputs("<zelt_rom_discovery version=\"1.0\">\n", out);
        std::fclose(out);
      }
    }
    return faults.user_report_exit;
  }
  if (file == "tempNicList.xml" && !faults.report_file.empty()) {
    int code = CopyReport(faults.report_file, file);
    return code != kOk ? code : faults.discovery_exit;
  }
  if (faults.report_malformed) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return kNoWrite;
    std::fputs("Discovery aborted: adapter list unavailable\n", out);
    std::fclose(out);
  } else if (!faults.report_missing) {
    XmlNode root = Element("zelt_rom_discovery").Set("version", "1.0").node();
    if (!faults.type_after_devices) AddDatum(root, "type", faults.report_type);
    AddDatum(root, "version", "1.0");
    AddDatum(root, "takes_effect", "immediately");
    XmlNode devices = XmlNode::NewRoot("devices");
    for (const Port& p : sim.ports) devices.AppendChild(ReportDevice(p, faults));
    root.AppendChild(devices);
    if (faults.type_after_devices) AddDatum(root, "type", faults.report_type);
    if (faults.message_mb > 0) {
      if (!WriteWithHugeMessages(file, root.ToText(true), faults.message_mb)) return kNoWrite;
    } else if (!root.SaveFile(file.c_str(), true)) {
      std::fprintf(stderr, "Cannot write %s.\n", file.c_str());
      return kNoWrite;
    }
  }
  return faults.discovery_exit;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::string Datum(const XmlNode& parent, const char* name) {
  return Trim(Text(parent.FindChild(name), "value", ""));
}

int Apply(Sim* sim, const std::string& file) {
  if (sim->faults.apply_exit != 0) return sim->faults.apply_exit;
  XmlNode root = XmlNode::LoadRepaired(file.c_str(), "zelt_rom_discovery");
  if (root.IsNull() || Datum(root, "type") != "RAVARE_NIC") {
    std::fprintf(stderr, "%s is no adapter report.\n", file.c_str());
    return kUnreadable;
  }
  int code = kOk;
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode devices = root.ChildAt(i);
    if (!IsNamed(devices, "devices")) continue;
    for (int j = 0; j < devices.ChildCount(); ++j) {
      XmlNode device = devices.ChildAt(j);
      if (!IsNamed(device, "device")) continue;
      if (Datum(device.FindChild("fw_item"), "action") == "skip") continue;
      Port* port = FindPort(sim, Datum(device, "device_id"), false);
      int result = port ? FlashPort(port) : kNoSuchPort;
      if (code == kOk) code = result;
    }
  }
  return Save(*sim, code);
}

int Info(Sim* sim, const std::string& device_id) {
  Port* port = FindPort(sim, device_id, false);
  if (!port) return kNoSuchPort;
  std::printf("Adapter %s at %s: %s\n", port->device_id.c_str(), port->Bdf().c_str(),
              port->product_id.c_str());
  if (port->hwflags != "none") {
    std::string state =
        port->hwflags == "uninitialized" ? port->hwflags : "set to " + port->hwflags;
    std::printf("Hardware Flags (iPE/dPE) ....... %s\n", state.c_str());
  }
  return port->info_exit;
}

int SetHardwareFlags(Sim* sim, const std::string& bdf, const std::string& value) {
  Port* port = FindPort(sim, bdf, true);
  if (!port) return kNoSuchPort;
  if (port->hwflags_reset_exit != 0) {
    std::fprintf(stderr, "Setting the hardware flags of %s failed.\n", bdf.c_str());
    return port->hwflags_reset_exit;
  }
  if (port->hwflags == "none") return kOk;
  port->hwflags = value;
  std::printf("Hardware Flags (iPE/dPE) of %s set to %s\n", bdf.c_str(), value.c_str());
  return Save(*sim, kOk);
}

int Flash(Sim* sim, const std::string& bdf) {
  Port* port = FindPort(sim, bdf, true);
  if (!port) return kNoSuchPort;
  int code = FlashPort(port);
  return code == kOk ? Save(*sim, kOk) : code;
}

// ---- Command line ------------------------------------------------------------------------

enum class Operation { Discover, Apply, Info, SetHardwareFlags, Flash };

struct Command {
  Operation operation;
  std::string target;  // report file, device_id or bdf
  std::string value;   // --hwflags value
};

bool IsFlagsValue(const std::string& v) {
  return v.size() == 1 && v[0] >= '0' && v[0] <= '3';
}

bool ParseCommand(const std::vector<std::string>& args, Command* command) {
  if (args.size() < 2) return false;
  const std::string& option = args[0];
  command->target = args[1];
  if (args.size() == 2 && option == "-d") {
    command->operation = Operation::Discover;
  } else if (args.size() == 2 && option == "-u") {
    command->operation = Operation::Apply;
  } else if (option != "-i") {
    return false;
  } else if (args.size() == 3 && args[2] == "--info") {
    command->operation = Operation::Info;
  } else if (args.size() == 4 && args[2] == "--hwflags" && IsFlagsValue(args[3])) {
    command->operation = Operation::SetHardwareFlags;
    command->value = args[3];
  } else if (args.size() == 4 && args[2] == "-f" && args[3] == "-a") {
    command->operation = Operation::Flash;
  } else {
    return false;
  }
  return true;
}

void AppendCallLog(const std::vector<std::string>& args) {
  std::string line = kFlashToolName;
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);
  line += "\n";
  std::FILE* log = std::fopen(kCallLogFile, "ab");
  if (!log) return;
  std::fwrite(line.data(), 1, line.size(), log);
  std::fclose(log);
}

int Run(const Command& command, Sim* sim) {
  switch (command.operation) {
    case Operation::Discover:
      return Discover(*sim, command.target);
    case Operation::Apply:
      return Apply(sim, command.target);
    case Operation::Info:
      return Info(sim, command.target);
    case Operation::SetHardwareFlags:
      return SetHardwareFlags(sim, command.target, command.value);
    case Operation::Flash:
      return Flash(sim, command.target);
  }
  return kUsage;
}

std::string LockPath() {
  std::optional<std::string> temp = platform::TempDirectory();
  return temp ? *temp + platform::PathSeparator() + kLockFileName : "";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  AppendCallLog(args);
  Command command;
  if (!ParseCommand(args, &command)) {
    std::fputs(
        "Unknown arguments. Usage: nxflash.exe -d FILE | -u FILE | -i ID --info |\n"
        "       -i BDF --hwflags 0..3 | -i BDF -f -a\n",
        stderr);
    return kUsage;
  }

  std::string lock = LockPath();
  Sim sim;
  int code = kUnreadable;
  bool loaded = LoadSim(&sim);
  if (sim.faults.no_lock) lock.clear();
  if (std::FILE* f = lock.empty() ? nullptr : std::fopen(lock.c_str(), "wb")) std::fclose(f);
  if (loaded) {
    if (sim.faults.delay_ms > 0)
      platform::SleepMilliseconds(static_cast<unsigned>(sim.faults.delay_ms));
    if (sim.faults.crash) std::abort();
    code = Run(command, &sim);
  } else {
    std::fprintf(stderr, "Cannot read %s.\n", kConfigFile);
  }
  std::fflush(stdout);
  if (!sim.faults.keep_lock && !lock.empty()) {
    Ignore(platform::RemoveFile(lock), "a lock left behind is a fault the utility handles");
  }
  return code;
}
