// Parses one generated document a given number of times with one parser, for counting
// instructions and branch mispredictions under valgrind (run it with 0 and with N parses and
// subtract). Usage: xml_parse_loop discovery_<ports>|catalog_<models> qv_xml|pugixml <count>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string>

#include "bench_documents.h"
#include "xml/xml_node.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: xml_parse_loop discovery_<ports>|catalog_<models> qv_xml|pugixml <count>\n",
               stderr);
    return 2;
  }
  std::string name = argv[1];
  size_t underscore = name.find('_');
  int size = underscore == std::string::npos ? 0 : std::atoi(name.c_str() + underscore + 1);
  std::string text =
      name.compare(0, 7, "catalog") == 0 ? bench::Catalog(size) : bench::DiscoveryReport(size);
  bool layer = std::strcmp(argv[2], "qv_xml") == 0;
  int count = std::atoi(argv[3]);
  long elements = 0;
  for (int i = 0; i < count; ++i) {
    if (layer) {
      XmlNode root = XmlNode::ReadText(text.c_str(), nullptr).node;
      elements += root.ChildCount();
    } else {
      pugi::xml_document doc;
      doc.load_buffer(text.data(), text.size());
      elements += doc.first_child() ? 1 : 0;
    }
  }
  std::printf("%ld\n", elements);
  return 0;
}
