// Reads generated discovery reports of 1,024 to 65,536 distinct ports, as a discovery does,
// and prints the time per port (per_port, CPU time), which stays flat when reading is linear
// in the ports.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "adapter/inventory/catalog.h"
#include "adapter/inventory/discovery.h"
#include "ui/user_interface.h"
#include "xml/xml_node.h"

namespace {

// Every port of the one supported model, on its own bus:device.function.
std::string DistinctPortsReport(int ports) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<zelt_rom_discovery version=\"1.0\">\n"
      "\t<type value=\"RAVARE_NIC\"/>\n\t<takes_effect value=\"reboot\"/>\n\t<devices>\n";
  char device[1024];
  for (int i = 0; i < ports; ++i) {
    std::snprintf(device, sizeof device,
                  "\t\t<device>\n\t\t\t<device_id value=\"NIC%d\"/>\n"
                  "\t\t\t<venid value=\"4040\"/>\n\t\t\t<devid value=\"0100\"/>\n"
                  "\t\t\t<subvenid value=\"1234\"/>\n\t\t\t<subdevid value=\"00AB\"/>\n"
                  "\t\t\t<macaddress value=\"00:0E:1E:%02X:%02X:%02X\"/>\n"
                  "\t\t\t<product_id value=\"P3 Dual Port 10GbE Server Adapter\"/>\n"
                  "\t\t\t<busnumber value=\"%d\"/>\n\t\t\t<devicenumber value=\"%d\"/>\n"
                  "\t\t\t<funcnumber value=\"%d\"/>\n"
                  "\t\t\t<fw_item>\n\t\t\t\t<type value=\"rom\"/>\n"
                  "\t\t\t\t<active_version value=\"4.0.555\"/>\n"
                  "\t\t\t\t<version value=\"4.0.556\"/>\n\t\t\t</fw_item>\n\t\t</device>\n",
                  i, (i >> 16) & 255, (i >> 8) & 255, i & 255, i >> 8, (i >> 3) & 31, i & 7);
    out += device;
  }
  return out + "\t</devices>\n</zelt_rom_discovery>\n";
}

// Writes the report of this many ports into the current directory; returns its name.
std::string WriteReport(int ports) {
  const std::string path = "discovery_bench_" + std::to_string(ports) + ".xml";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::string text = DistinctPortsReport(ports);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  return path;
}

void PerPort(benchmark::State& state) {
  state.counters["per_port"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// What discovery does with the tool's report.
void ReadReport(benchmark::State& state) {
  const int ports = static_cast<int>(state.range(0));
  const std::string path = WriteReport(ports);
  FirmwareCatalog catalog;
  CatalogEntry& entry = catalog[CatalogKey("4040", "0100", "1234", "00AB")];
  entry.rom = "4.0.556";
  entry.version.Parse(entry.rom.c_str(), true);
  {
    UiSettings settings;
    settings.log_path = "discovery_bench.log";
    settings.answers = {true, true};
    UserInterface ui(settings);
    ui.EndStartUp();
    for (auto _ : state) {
      DiscoveryReport report = ReadDiscoveryReport(path, catalog, ui);
      if (report.ports.size() != static_cast<size_t>(ports)) state.SkipWithError("ports lost");
      benchmark::DoNotOptimize(report.ports.data());
    }
  }
  PerPort(state);
  std::remove(path.c_str());
  std::remove("discovery_bench.log");
}

// Only the loading and parsing of the same report, the part the XML layer owns.
void LoadReport(benchmark::State& state) {
  const std::string path = WriteReport(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Expected<XmlNode> loaded = XmlNode::LoadFile(path.c_str(), "zelt_rom_discovery");
    if (!loaded) {
      state.SkipWithError("not loaded");
      break;
    }
    benchmark::DoNotOptimize(loaded->ChildCount());
  }
  PerPort(state);
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(ReadReport)->RangeMultiplier(4)->Range(1024, 65536)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadReport)->RangeMultiplier(4)->Range(1024, 65536)->Unit(benchmark::kMillisecond);

// glibc maps every block above 32 MB afresh and pays a page fault for each of its pages on
// every iteration, while smaller blocks reuse pages already touched; only the largest report
// has such blocks. --keep-pages takes every block from the heap and keeps it, so that each
// size is measured alike (a discovery in a fresh process touches fresh pages at every size).
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep-pages") != 0) continue;
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    break;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
