#include "bench_documents.h"

#include <cstdio>

namespace bench {

namespace {

void Value(std::string& out, const char* indent, const char* name, const char* value) {
  out += indent;
  out += '<';
  out += name;
  out += " value=\"";
  out += value;
  out += "\"/>\n";
}

}  // namespace

std::string DiscoveryReport(int ports) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<zelt_rom_discovery version=\"1.0\">\n";
  Value(out, "\t", "type", "RAVARE_NIC");
  Value(out, "\t", "version", "2.1.0");
  Value(out, "\t", "takes_effect", "reboot");
  out += "\t<devices>\n";
  char buffer[64];
  for (int i = 0; i < ports; ++i) {
    const char* d = "\t\t\t";
    out += "\t\t<device>\n";
    std::snprintf(buffer, sizeof buffer, " %d ", i);
    Value(out, d, "device_id", buffer);
    Value(out, d, "venid", "4040");
    Value(out, d, "devid", i % 2 ? "0100" : "0101");
    Value(out, d, "subvenid", "1234");
    Value(out, d, "subdevid", "00AB");
    std::snprintf(buffer, sizeof buffer, "00:0E:1E:%02X:%02X:%02X", (i >> 16) & 255, (i >> 8) & 255,
                  i & 255);
    Value(out, d, "macaddress", buffer);
    Value(out, d, "product_id", "P3 Dual Port 10GbE Server Adapter");
    std::snprintf(buffer, sizeof buffer, "%d", i / 2 % 256);
    Value(out, d, "busnumber", buffer);
    Value(out, d, "devicenumber", "0");
    Value(out, d, "funcnumber", i % 2 ? "1" : "0");
    Value(out, d, "slotnumber", "2");
    Value(out, d, "nictype", "P3 &amp; 10GbE");
    out += "\t\t\t<fw_item>\n";
    const char* f = "\t\t\t\t";
    Value(out, f, "type", "rom");
    Value(out, f, "firmware_id", "p3rom");
    Value(out, f, "active_version", "4.0.555");
    Value(out, f, "version", "4.0.556");
    Value(out, f, "action", "update");
    Value(out, f, "shared", "NO");
    Value(out, f, "duration", "120");
    Value(out, f, "message", "Firmware update recommended");
    out += "\t\t\t</fw_item>\n\t\t</device>\n";
  }
  out += "\t</devices>\n</zelt_rom_discovery>\n";
  return out;
}

std::string Catalog(int models) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<nic_fw_package version=\"1.0\">\n\t<nic>\n";
  char line[512];
  for (int i = 0; i < models; ++i) {
    std::snprintf(line, sizeof line,
                  "\t\t<nic name=\"P3 Server Adapter model %d\" venid=\"4040\" devid=\"%04X\" "
                  "subvenid=\"1234\" subdevid=\"%04X\" rom=\"4.0.%d\" fwFile=\"p3fw_%d.bin\" />\n",
                  i, 0x100 + i % 16, i, 500 + i % 100, i);
    out += line;
  }
  out += "\t</nic>\n</nic_fw_package>\n";
  return out;
}

}  // namespace bench
