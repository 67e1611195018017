#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/files.h"
#include "xml/xml_test_support.h"

using test::Compact;
using test::Describe;
using test::Formatted;
using test::Parse;

namespace {

TEST(XmlSerialise, EmptyElementUsesTheShortForm) {
  EXPECT_EQ(Formatted(XmlNode::NewRoot("a")), "<a/>\n");
  EXPECT_EQ(Compact(XmlNode::NewRoot("a")), "<a/>");
}

TEST(XmlSerialise, OneLinePerElementWithTabs) {
  XmlNode root = XmlNode::NewRoot("root");
  root.AppendAttribute("version", "1.0");
  root.AppendChild(XmlNode::NewRoot("first"));
  XmlNode second = XmlNode::NewRoot("second");
  second.AppendAttribute("a", "1");
  second.AppendAttribute("flag", nullptr);
  second.AppendAttribute("", "dropped");
  second.AppendAttribute("e", "");
  root.AppendChild(second);
  EXPECT_EQ(Formatted(root),
            "<root version=\"1.0\">\n"
            "\t<first/>\n"
            "\t<second a=\"1\" flag e=\"\"/>\n"
            "</root>\n");
}

TEST(XmlSerialise, SingleTextStaysInline) {
  XmlNode tree = Parse("<r><v>4.0.556</v><m>a<b/>c</m></r>").node;
  EXPECT_EQ(Formatted(tree),
            "<r>\n"
            "\t<v>4.0.556</v>\n"
            "\t<m>\n"
            "\t\ta\n"
            "\t\t<b/>\n"
            "\t\tc\n"
            "\t</m>\n"
            "</r>\n");
}

TEST(XmlSerialise, FiveCharactersAreEscapedEverywhere) {
  XmlNode a = XmlNode::NewRoot("a");
  a.AppendAttribute("v", "a<b&\"c'd");
  EXPECT_EQ(Formatted(a), "<a v=\"a&lt;b&amp;&quot;c&apos;d\"/>\n");
  XmlNode t = Parse("<t>x &lt; y &amp;&gt; &quot;z&apos; caf\xC3\xA9</t>").node;
  EXPECT_EQ(Compact(t), "<t>x &lt; y &amp;&gt; &quot;z&apos; caf\xC3\xA9</t>");
}

TEST(XmlSerialise, DeclarationsComeFirstWithTheirContentAtTheSameLevel) {
  EXPECT_EQ(Formatted(XmlNode::NewRoot("pi", true)), "<?pi?>\n");
  XmlNode doc = Parse("<?xml version=\"1.0\"?><root><c/></root>").node;
  EXPECT_EQ(Formatted(doc), "<?xml version=\"1.0\"?>\n<root>\n\t<c/>\n</root>\n");
  EXPECT_EQ(Compact(doc), "<?xml version=\"1.0\"?><root><c/></root>");
}

TEST(XmlSerialise, ClearSectionsAreWrittenVerbatim) {
  XmlNode a = Parse("<a><![CDATA[x<y&]]><!--c--><b/></a>").node;
  EXPECT_EQ(Formatted(a), "<a>\n\t<![CDATA[x<y&]]>\n\t<!--c-->\n\t<b/>\n</a>\n");
  EXPECT_EQ(Compact(a), "<a><![CDATA[x<y&]]><!--c--><b/></a>");
}

TEST(XmlSerialise, CompactOutputHasNoTabsOrLineFeeds) {
  XmlNode tree = Parse("<r a='1'>\n\t<s>\n\t\t<t>x</t>\n\t</s>\n\t<u/>\n</r>").node;
  std::string text = Compact(tree);
  EXPECT_EQ(text, "<r a=\"1\"><s><t>x</t></s><u/></r>");
}

TEST(XmlSerialise, TextHoldsNoNul) {
  XmlNode tree = Parse("<r><a>one &amp; two&#0;three</a><b x='&lt;&#0;'/></r>").node;
  std::string text = tree.ToText(true);
  EXPECT_EQ(text.size(), std::strlen(text.c_str()));
}

// Well-formed documents come back as the same tree after a trip through the writer.
TEST(XmlSerialise, RoundTripsKeepTheTree) {
  const char* documents[] = {
      "<a/>",
      "<a x='1' y=\"two words\" flag><b>text</b><c/></a>",
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><root><x>1 &lt; 2 &amp; &quot;q&quot;</x></root>",
      "<r>mixed <b>bold</b> tail<![CDATA[ <raw> & ]]><!-- note --></r>",
      "<!DOCTYPE d [<!ENTITY e \"v\">]><d><e/></d>",
      "<r><PRE>  keep\n  this </PRE><n v='caf\xC3\xA9 \xE2\x82\xAC'/></r>",
      ("<zelt_rom_discovery version=\"1\"><devices><device><venid value=\"4040\"/>"
       "<fw_item><type value=\"rom\"/></fw_item></device></devices></zelt_rom_discovery>"),
  };
  for (const char* document : documents) {
    test::Parsed first = Parse(document);
    ASSERT_EQ(first.outcome.error, 0) << document;
    for (bool formatted : {true, false}) {
      std::string text = first.node.ToText(formatted);
      test::Parsed again = Parse(text.c_str());
      EXPECT_EQ(again.outcome.error, 0) << text;
      EXPECT_EQ(Describe(again.node), Describe(first.node)) << text;
    }
  }
}

TEST(XmlSave, NewRootGetsMarkHeaderAndText) {
  test::TempDir dir;
  XmlNode root = XmlNode::NewRoot("report");
  root.AppendChild(XmlNode::NewRoot("item"));
  ASSERT_TRUE(root.SaveFile(dir.File("r.xml").c_str(), true));
  EXPECT_EQ(test::ReadBytes(dir.File("r.xml")),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<report>\n\t<item/>\n"
            "</report>\n");
}

TEST(XmlSave, TreeWithItsOwnDeclarationGetsNoSecondHeader) {
  test::TempDir dir;
  test::WriteBytes(dir.File("in.xml"), "<?xml version=\"1.0\"?>\n<r><a/></r>\n");
  XmlNode doc = XmlNode::LoadRepaired(dir.File("in.xml").c_str(), nullptr);
  ASSERT_TRUE(doc.SaveFile(dir.File("out.xml").c_str(), true));
  EXPECT_EQ(test::ReadBytes(dir.File("out.xml")),
            "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<r>\n\t<a/>\n</r>\n");
  // Saved and loaded again, it is the same tree.
  XmlNode again = XmlNode::LoadRepaired(dir.File("out.xml").c_str(), nullptr);
  EXPECT_EQ(Describe(again), Describe(doc));
}

TEST(XmlSave, EmptyNodeWritesNothing) {
  test::TempDir dir;
  EXPECT_TRUE(XmlNode().SaveFile(dir.File("none.xml").c_str(), true));
  EXPECT_FALSE(test::Exists(dir.File("none.xml")));
}

TEST(XmlSave, FailuresGiveFifteenAndSixteen) {
  test::TempDir dir;
  XmlNode root = XmlNode::NewRoot("r");
  EXPECT_TRUE(root.SaveFile(dir.File("no/such/dir/r.xml").c_str(), true).error().code ==
              kXmlCannotOpenForWriting);
  EXPECT_TRUE(root.SaveFile(nullptr, true).error().code == kXmlCannotOpenForWriting);
  // A device that refuses every write, where the host has one.
  std::FILE* full = std::fopen("/dev/full", "wb");
  bool refuses = false;
  if (full) {
    bool put_failed = std::fputs("x", full) == EOF;
    refuses = std::fclose(full) != 0 || put_failed;
  }
  if (!refuses) GTEST_SKIP() << "no full device on this host";
  XmlResult<void> saved = root.SaveFile("/dev/full", true);
  ASSERT_FALSE(saved);
  EXPECT_TRUE(saved.error().code == kXmlCannotWrite);
}

}  // namespace
