// The XML reader's time for generated reports and a catalog, and the heap its tree holds.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_documents.h"
#include "xml/xml_node.h"

namespace {

struct Document {
  std::string name;
  std::string text;
  const char* root;
};

std::vector<Document> Documents() {
  return {
      {"discovery_16", bench::DiscoveryReport(16), "zelt_rom_discovery"},
      {"discovery_1024", bench::DiscoveryReport(1024), "zelt_rom_discovery"},
      {"discovery_65536", bench::DiscoveryReport(65536), "zelt_rom_discovery"},
      {"catalog_1000", bench::Catalog(1000), "nic_fw_package"},
  };
}

void Parse(benchmark::State& state, const Document& d) {
  for (auto _ : state) {
    Expected<XmlNode> parsed = XmlNode::ParseText(d.text.c_str(), d.root);
    if (!parsed) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(parsed->ChildCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.text.size()));
}

// Heap bytes the C library has handed out and not taken back (glibc).
size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void PrintMemory(const std::vector<Document>& documents) {
  std::printf("\n%-18s %12s %12s\n", "document", "input bytes", "tree bytes");
  for (const Document& d : documents) {
    size_t before = HeapInUse();
    XmlNode root = XmlNode::ParseRepaired(d.text.c_str(), d.root);
    std::printf("%-18s %12zu %12zu\n", d.name.c_str(), d.text.size(), HeapInUse() - before);
  }
  std::printf("(heap bytes held while the parsed tree lives)\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Document> documents = Documents();
  for (const Document& d : documents) {
    benchmark::RegisterBenchmark(d.name.c_str(), Parse, d)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  PrintMemory(documents);
  benchmark::Shutdown();
  return 0;
}
