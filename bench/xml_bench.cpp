// Parses the same generated documents with the XML layer and with two peer parsers, then
// prints each parser's throughput and the layer's ratio to each peer, from one run.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <tinyxml2.h>

#include <cstdio>
#include <map>
#include <pugixml.hpp>
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

std::vector<Document>& Documents() {
  static std::vector<Document> documents = {
      {"discovery_16", bench::DiscoveryReport(16), "zelt_rom_discovery"},
      {"discovery_1024", bench::DiscoveryReport(1024), "zelt_rom_discovery"},
      {"discovery_65536", bench::DiscoveryReport(65536), "zelt_rom_discovery"},
      {"catalog_1000", bench::Catalog(1000), "nic_fw_package"},
  };
  return documents;
}

// Each parser reads from the caller's unchanged text, so the peers copy it first as their
// normal entry points do.
void ParseLayer(benchmark::State& state, const Document& d) {
  for (auto _ : state) {
    XmlNode::Findings parsed = XmlNode::ReadText(d.text.c_str(), d.root);
    if (parsed.outcome.error != 0) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(parsed.node.ChildCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.text.size()));
}

void ParsePugixml(benchmark::State& state, const Document& d) {
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer(d.text.data(), d.text.size());
    if (!result) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.child(d.root));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.text.size()));
}

void ParseTinyxml2(benchmark::State& state, const Document& d) {
  for (auto _ : state) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(d.text.data(), d.text.size()) != tinyxml2::XML_SUCCESS) {
      state.SkipWithError("parse failed");
    }
    benchmark::DoNotOptimize(doc.FirstChildElement(d.root));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.text.size()));
}

const char* const kParsers[] = {"qv_xml", "pugixml", "tinyxml2"};

// Keeps every run's throughput, keyed by document and parser, besides the usual console
// output.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions, the median stands for the benchmark; without, its one run.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
      auto it = run.counters.find("bytes_per_second");
      if (it == run.counters.end()) continue;
      const std::string& name = run.run_name.function_name;  // "<document>/<parser>"
      size_t slash = name.find('/');
      double& cell = throughput_[name.substr(0, slash)][name.substr(slash + 1)];
      if (median || cell == 0) cell = it->second;
    }
  }

  void PrintSummary() const {
    std::printf("\n%-18s %10s %10s %10s %14s %14s\n", "document", "qv_xml", "pugixml", "tinyxml2",
                "qv/pugixml", "qv/tinyxml2");
    for (const Document& d : Documents()) {
      auto row = throughput_.find(d.name);
      if (row == throughput_.end()) continue;
      double mb[3] = {0, 0, 0};
      for (int i = 0; i < 3; ++i) {
        auto cell = row->second.find(kParsers[i]);
        if (cell != row->second.end()) mb[i] = cell->second / 1e6;
      }
      std::printf("%-18s %10.1f %10.1f %10.1f %14.2f %14.2f\n", d.name.c_str(), mb[0], mb[1], mb[2],
                  mb[1] > 0 ? mb[0] / mb[1] : 0.0, mb[2] > 0 ? mb[0] / mb[2] : 0.0);
    }
    std::printf("(MB/s, 1 MB = 10^6 bytes; ratios above 1 mean the layer is faster)\n");
  }

 private:
  std::map<std::string, std::map<std::string, double>> throughput_;
};

// Heap bytes the C library has handed out and not taken back (glibc).
size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Heap held by each parser's tree while it lives, for every document.
void PrintMemory() {
  std::printf("\n%-18s %12s %12s %12s %12s\n", "document", "input bytes", "qv_xml", "pugixml",
              "tinyxml2");
  for (const Document& d : Documents()) {
    size_t held[3] = {0, 0, 0};
    size_t before = HeapInUse();
    {
      XmlNode root = XmlNode::ReadText(d.text.c_str(), d.root).node;
      held[0] = HeapInUse() - before;
    }
    before = HeapInUse();
    {
      pugi::xml_document doc;
      doc.load_buffer(d.text.data(), d.text.size());
      held[1] = HeapInUse() - before;
    }
    before = HeapInUse();
    {
      tinyxml2::XMLDocument doc;
      doc.Parse(d.text.data(), d.text.size());
      held[2] = HeapInUse() - before;
    }
    std::printf("%-18s %12zu %12zu %12zu %12zu\n", d.name.c_str(), d.text.size(), held[0], held[1],
                held[2]);
  }
  std::printf("(heap bytes held while the parsed tree lives)\n");
}

}  // namespace

int main(int argc, char** argv) {
  for (const Document& d : Documents()) {
    benchmark::RegisterBenchmark((d.name + "/qv_xml").c_str(), ParseLayer, d)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((d.name + "/pugixml").c_str(), ParsePugixml, d)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((d.name + "/tinyxml2").c_str(), ParseTinyxml2, d)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  PrintMemory();
  benchmark::Shutdown();
  return 0;
}
