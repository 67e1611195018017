// The catalog and the discovery report from text through the XML layer into catalog entries
// and adapter records. The input is a catalog, a NUL and a report; without a NUL it is a
// report only and the catalog file is missing. Properties: no more catalog entries than
// entry elements, no more ports than device elements, and every port supported by the
// catalog with the catalog's version.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "adapter/inventory/catalog.h"
#include "adapter/inventory/discovery.h"
#include "xml/xml_node.h"

namespace {

constexpr char kReportFile[] = "report.xml";

std::string work_dir;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void RemoveWorkDir() {
  std::remove((work_dir + "/" + kSupportingFileName).c_str());
  std::remove((work_dir + "/" + kReportFile).c_str());
  rmdir(work_dir.c_str());
}

void WriteFile(const char* name, const std::string& bytes) {
  std::FILE* f = std::fopen(name, "wb");
  Check(f != nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Elements named inner inside elements named outer inside the root, as the readers look.
size_t CountNested(const char* path, const char* root_name, const char* outer, const char* inner) {
  XmlResult<XmlNode> loaded = XmlNode::LoadFile(path, root_name);
  if (!loaded) return 0;
  const XmlNode& root = *loaded;
  auto named = [](const XmlNode& node, const char* name) {
    return node.Name() && std::string(node.Name()) == name;
  };
  size_t count = 0;
  for (int i = 0; i < root.ChildCount(); ++i) {
    XmlNode group = root.ChildAt(i);
    if (!named(group, outer)) continue;
    for (int j = 0; j < group.ChildCount(); ++j) count += named(group.ChildAt(j), inner);
  }
  return count;
}

// Two models already known, as a catalog loaded earlier in the run would leave them.
FirmwareCatalog KnownModels() {
  FirmwareCatalog catalog;
  for (const char* devid : {"0100", "0101"}) {
    CatalogEntry entry;
    entry.venid = "4040";
    entry.devid = devid;
    entry.subvenid = "1234";
    entry.subdevid = "00AB";
    entry.rom = "4.0.556";
    entry.version.Parse(entry.rom.c_str(), true);
    catalog[CatalogKey(entry.venid, entry.devid, entry.subvenid, entry.subdevid)] = entry;
  }
  return catalog;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/report_fuzzer.XXXXXX";
  Check(mkdtemp(&pattern[0]) != nullptr && chdir(pattern.c_str()) == 0);
  work_dir = pattern;
  std::atexit(RemoveWorkDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::remove(kSupportingFileName);
  if (split != std::string::npos) WriteFile(kSupportingFileName, input.substr(0, split));
  WriteFile(kReportFile, split == std::string::npos ? input : input.substr(split + 1));

  std::FILE* out = std::fopen("/dev/null", "w");
  {
    UiSettings settings;
    settings.log_path = "/dev/null";
    settings.debug = true;  // with the -debug trace
    settings.output = out;
    UserInterface ui(settings);
    ui.EndStartUp();
    FirmwareCatalog catalog = KnownModels();
    size_t known = catalog.size();
    Ignore(LoadFirmwareCatalog(&catalog, ui),
           "a catalog that does not load leaves the table as it was");
    Check(catalog.size() <=
          known + CountNested(kSupportingFileName, "nic_fw_package", "nic", "nic"));

    DiscoveryReport report = ReadDiscoveryReport(kReportFile, catalog, ui);
    size_t devices = CountNested(kReportFile, "zelt_rom_discovery", "devices", "device");
    Check(report.ports.size() <= devices);
    Check(!report.found_supported || !report.ports.empty());
    std::set<std::string> bdfs;
    for (const AdapterRecord& port : report.ports) {
      auto entry = catalog.find(port.pci_id);
      Check(entry != catalog.end());
      Check(port.available_version == entry->second.version);
      Check(bdfs.insert(port.bdf).second);
    }
  }
  std::fclose(out);
  return 0;
}
