#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "xml/xml_element.h"
#include "xml/xml_test_support.h"

using test::Describe;

namespace {

// Each character of text (ASCII or two-byte UTF-8) as one little-endian 16-bit unit.
std::string Utf16Le(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0xC0) c = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

using Loaded = test::Parsed;
using test::Load;

const char kCatalog[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<nic_fw_package version=\"1.0\">\n"
    "\t<nic>\n"
    "\t\t<nic name=\"P3 Dual Port\" venid=\"4040\" devid=\"0100\" rom=\"4.0.556\" />\n"
    "\t</nic>\n"
    "</nic_fw_package>\n";

TEST(XmlFiles, CatalogWithDeclarationGivesItsParentlessRoot) {
  test::TempDir dir;
  test::WriteBytes(dir.File("NICFWData.xml"), kCatalog);
  Loaded l = Load(dir.File("NICFWData.xml"), "NIC_FW_PACKAGE");
  EXPECT_EQ(l.outcome.error, 0);
  EXPECT_EQ(l.outcome.line, 0);
  EXPECT_EQ(l.outcome.column, 0);
  EXPECT_STREQ(l.node.Name(), "nic_fw_package");
  EXPECT_EQ(ElementOf(l.node)->parent, nullptr);
  EXPECT_STREQ(l.node.ChildAt(0).ChildAt(0).AttributeValue("VenID"), "4040");
}

TEST(XmlFiles, MissingAndEmptyFiles) {
  test::TempDir dir;
  Loaded missing = Load(dir.File("absent.xml"), "a");
  EXPECT_TRUE(missing.node.IsNull());
  EXPECT_EQ(missing.outcome.error, kXmlFileNotFound);
  EXPECT_EQ(missing.outcome.line, 0);
  test::WriteBytes(dir.File("empty.xml"), "");
  Loaded empty = Load(dir.File("empty.xml"), "a");
  EXPECT_EQ(empty.outcome.error, kXmlNoXmlData);
  EXPECT_EQ(empty.outcome.column, 0);
  XmlResult<XmlNode> absent = XmlNode::LoadFile(dir.File("absent.xml").c_str(), nullptr);
  ASSERT_FALSE(absent);
  EXPECT_TRUE(absent.error().code == kXmlFileNotFound);
}

// What the product loads is never a tree the parser had to repair; a failed parse says where.
TEST(XmlFiles, StrictLoadRefusesRepairedTreesAndTellsWhere) {
  test::TempDir dir;
  test::WriteBytes(dir.File("r.xml"), "<a><b><c>x</a>");
  XmlResult<XmlNode> repaired = XmlNode::LoadFile(dir.File("r.xml").c_str(), "a");
  ASSERT_FALSE(repaired);
  EXPECT_TRUE(repaired.error().code == kXmlWarningUnmatchedEndTag);
  XmlResult<XmlNode> broken = XmlNode::ParseText("<a></b>", nullptr);
  ASSERT_FALSE(broken);
  EXPECT_TRUE(broken.error().code == kXmlUnmatchedEndTag);
  EXPECT_EQ(broken.error().text, "line 1, column 8");
  EXPECT_STREQ(XmlNode::ParseText("<r><a/></r>", "a")->Name(), "a");
}

TEST(XmlFiles, DirectoryCannotBeRead) {
  test::TempDir dir;
  Loaded l = Load(dir.path(), "a");
  EXPECT_TRUE(l.node.IsNull());
  EXPECT_EQ(l.outcome.error, kXmlFileNotFound);
}

TEST(XmlFiles, TextOnlyFileWithRequiredTagGivesEleven) {
  test::TempDir dir;
  test::WriteBytes(dir.File("t.xml"), "words\n<!-- comment -->\n");
  Loaded l = Load(dir.File("t.xml"), "a");
  EXPECT_EQ(l.outcome.error, kXmlFirstTagNotFound);
  EXPECT_EQ(l.outcome.line, 0);
  EXPECT_EQ(l.outcome.column, 0);
}

TEST(XmlFiles, Utf8MarkIsSkippedAndPositionsCountFromAfterIt) {
  test::TempDir dir;
  test::WriteBytes(dir.File("plain.xml"), "<a>\n</b>");
  test::WriteBytes(dir.File("marked.xml"), "\xEF\xBB\xBF<a>\n</b>");
  Loaded plain = Load(dir.File("plain.xml"));
  Loaded marked = Load(dir.File("marked.xml"));
  EXPECT_EQ(marked.outcome.error, kXmlUnmatchedEndTag);
  EXPECT_EQ(marked.outcome.line, 2);
  EXPECT_EQ(marked.outcome.column, 5);
  EXPECT_EQ(plain.outcome.column, marked.outcome.column);
  test::WriteBytes(dir.File("ok.xml"), "\xEF\xBB\xBF<a>x</a>");
  EXPECT_EQ(Describe(Load(dir.File("ok.xml")).node), "<a>[x]</>");
}

TEST(XmlFiles, Utf16WithMarkParsesLikeItsUtf8Twin) {
  test::TempDir dir;
  std::string utf8 = std::string(kCatalog) + "<!-- caf\xC3\xA9 -->";
  test::WriteBytes(dir.File("utf8.xml"), utf8);
  test::WriteBytes(dir.File("utf16.xml"), "\xFF\xFE" + Utf16Le(utf8));
  Loaded narrow = Load(dir.File("utf8.xml"));
  Loaded wide = Load(dir.File("utf16.xml"));
  EXPECT_EQ(wide.outcome.error, 0);
  EXPECT_EQ(Describe(wide.node), Describe(narrow.node));
  EXPECT_NE(Describe(wide.node).find("caf\xC3\xA9"), std::string::npos);
}

TEST(XmlFiles, AsciiInSixteenBitUnitsWithoutMarkIsRecognised) {
  test::TempDir dir;
  test::WriteBytes(dir.File("w.xml"), Utf16Le("<root><port id=\"1\"/></root>\r\n"));
  Loaded l = Load(dir.File("w.xml"), "root");
  EXPECT_EQ(l.outcome.error, 0);
  EXPECT_STREQ(l.node.ChildAt(0).AttributeValue("id"), "1");
}

TEST(XmlFiles, SurrogatePairsBecomeFourByteCharacters) {
  test::TempDir dir;
  // <a>, U+1F600 as a surrogate pair, a lone high surrogate, </a>
  std::string units =
      "\xFF\xFE" + Utf16Le("<a>") + std::string("\x3D\xD8\x00\xDE\x3D\xD8", 6) + Utf16Le("</a>");
  test::WriteBytes(dir.File("s.xml"), units);
  Loaded l = Load(dir.File("s.xml"));
  EXPECT_EQ(l.outcome.error, 0);
  EXPECT_EQ(test::TextAt(l.node, 0), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(XmlFiles, OddByteCountAndBareMarkAreSafe) {
  test::TempDir dir;
  test::WriteBytes(dir.File("m.xml"), "\xFF\xFE");
  EXPECT_EQ(Load(dir.File("m.xml")).outcome.error, kXmlWarningNoTagFound);
  test::WriteBytes(dir.File("o.xml"), std::string("\xFF\xFE<\x00"
                                                  "a\x00>\x00\xC3",
                                                  9));
  EXPECT_EQ(Load(dir.File("o.xml")).outcome.error, kXmlWarningUnmatchedEndTag);
}

}  // namespace
