#include <gtest/gtest.h>

#include "xml/xml_element.h"
#include "xml/xml_test_support.h"

using test::Describe;
using test::Parse;

namespace {

// Handles and the parent's list.
long References(const XmlNode& node) {
  return ElementOf(node).use_count();
}

TEST(XmlQueries, RepeatedNamesInDocumentOrderAndCursorWalk) {
  XmlNode root = Parse("<r><item n='1'/><other/><ITEM n='2'/></r>").node;
  EXPECT_EQ(root.ChildCount(), 3);
  EXPECT_STREQ(root.ChildAt(0).AttributeValue("n"), "1");
  EXPECT_STREQ(root.ChildAt(2).AttributeValue("n"), "2");
  EXPECT_TRUE(root.ChildAt(-1).IsNull());
  EXPECT_TRUE(root.ChildAt(3).IsNull());

  int cursor = 0;
  EXPECT_STREQ(root.FindChild("item", &cursor).AttributeValue("n"), "1");
  EXPECT_EQ(cursor, 1);
  EXPECT_STREQ(root.FindChild("item", &cursor).AttributeValue("n"), "2");
  EXPECT_EQ(cursor, 3);
  EXPECT_TRUE(root.FindChild("item", &cursor).IsNull());
  EXPECT_EQ(cursor, 3);  // left alone when nothing matches
  EXPECT_STREQ(root.FindChild("item").AttributeValue("n"), "1");
}

TEST(XmlQueries, AttributeCursorAndValuelessAttributes) {
  XmlNode a = Parse("<a k=1 flag K=2 empty=''/>").node;
  int cursor = 0;
  EXPECT_STREQ(a.AttributeValue("k", &cursor), "1");
  EXPECT_STREQ(a.AttributeValue("k", &cursor), "2");
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(a.AttributeValue("k", &cursor), nullptr);
  EXPECT_EQ(a.AttributeValue("flag"), nullptr);
  EXPECT_EQ(a.AttributeValue("absent"), nullptr);
  EXPECT_STREQ(a.AttributeValue("empty"), "");
  EXPECT_EQ(a.ElementCount(), 4);
}

TEST(XmlQueries, EmptyNodeIsAcceptedEverywhere) {
  XmlNode empty;
  EXPECT_TRUE(empty.IsNull());
  EXPECT_FALSE(empty.IsDeclarationElement());
  EXPECT_EQ(empty.Name(), nullptr);
  EXPECT_EQ(empty.ChildCount(), 0);
  EXPECT_TRUE(empty.ChildAt(0).IsNull());
  int cursor = 0;
  EXPECT_TRUE(empty.FindChild("a", &cursor).IsNull());
  EXPECT_EQ(empty.AttributeValue("a", &cursor), nullptr);
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(empty.ElementCount(), 0);
  empty.AppendAttribute("a", "b");
  EXPECT_FALSE(empty.AppendChild(XmlNode::NewRoot("c")).IsNull());
  EXPECT_TRUE(empty.IsNull());
  XmlNode root = XmlNode::NewRoot("r");
  EXPECT_TRUE(root.AppendChild(XmlNode()).IsNull());
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_EQ(empty.ToText(true), "");
}

TEST(XmlQueries, StatusTexts) {
  EXPECT_STREQ(XmlStatusText(0), "No error");
  EXPECT_STREQ(XmlStatusText(13),
               "Error: Character code above 255 is forbidden in MultiByte char mode.");
  EXPECT_STREQ(XmlStatusText(20), "Error: Base64 decode output buffer is too small");
  EXPECT_STREQ(XmlStatusText(21), "Unknown");
  EXPECT_STREQ(XmlStatusText(-1), "Unknown");
}

TEST(XmlBuilding, NewRootAttributesAndChildren) {
  XmlNode root = XmlNode::NewRoot("report");
  EXPECT_EQ(References(root), 1);
  root.AppendAttribute("v", "1");
  root.AppendAttribute("v", nullptr);  // duplicates are allowed
  root.AppendAttribute(nullptr, "x");  // ignored
  XmlNode child = XmlNode::NewRoot("port");
  EXPECT_EQ(ElementOf(root.AppendChild(child)), ElementOf(child));
  EXPECT_EQ(References(child), 2);
  EXPECT_EQ(Describe(root), "<report v='1' v><port></></>");
  XmlNode decl = XmlNode::NewRoot("xml", true);
  EXPECT_TRUE(decl.IsDeclarationElement());
}

TEST(XmlBuilding, AppendingAnAttachedElementMovesIt) {
  XmlNode tree = Parse("<r><a><x/></a><b/></r>").node;
  XmlNode a = tree.ChildAt(0);
  XmlNode b = tree.ChildAt(1);
  XmlNode x = a.ChildAt(0);
  b.AppendChild(x);
  EXPECT_EQ(Describe(tree), "<r><a></><b><x></></></>");
  EXPECT_EQ(ElementOf(x)->parent, ElementOf(b).get());
  EXPECT_EQ(References(x), 2);  // b's list and this handle
  // Within one parent, the position counts as if the child were already gone.
  tree.AppendChild(a, 2);
  EXPECT_EQ(Describe(tree), "<r><b><x></></><a></></>");
  tree.AppendChild(a, 0);
  EXPECT_EQ(Describe(tree), "<r><a></><b><x></></></>");
  EXPECT_EQ(ElementOf(tree.ChildAt(0)), ElementOf(a));
}

TEST(XmlBuilding, AppendingADocumentMovesItsChildren) {
  test::Parsed p = Parse("<a/><b/>");
  ASSERT_EQ(p.node.Name(), nullptr);
  XmlNode root = Parse("<r><z/></r>").node;
  root.AppendChild(p.node, 0);
  EXPECT_EQ(Describe(root), "<r><a></><b></><z></></>");
  EXPECT_EQ(p.node.ChildCount(), 0);
  EXPECT_EQ(References(root.ChildAt(0)), 2);  // root's list and the temporary handle
}

TEST(XmlBuilding, CyclesAreRefused) {
  XmlNode root = Parse("<r><a><b/></a></r>").node;
  XmlNode b = root.ChildAt(0).ChildAt(0);
  EXPECT_TRUE(b.AppendChild(root).IsNull());
  EXPECT_TRUE(root.AppendChild(root).IsNull());
  EXPECT_EQ(Describe(root), "<r><a><b></></></>");
}

TEST(XmlHandles, CopiesShareAndReleasesCount) {
  XmlNode root = XmlNode::NewRoot("r");
  {
    XmlNode copy = root;
    EXPECT_EQ(References(root), 2);
    XmlNode other = XmlNode::NewRoot("o");
    other = copy;  // frees o
    EXPECT_EQ(References(root), 3);
    XmlNode& same = other;
    other = same;  // self-assignment changes nothing
    EXPECT_EQ(References(root), 3);
    XmlNode moved = std::move(copy);
    EXPECT_TRUE(copy.IsNull());  // a moved-from handle is the empty node
    EXPECT_EQ(References(root), 3);
  }
  EXPECT_EQ(References(root), 1);
}

TEST(XmlHandles, ChildOutlivesItsParentAndBecomesParentless) {
  XmlNode child;
  {
    XmlNode root = Parse("<r><c k='v'><d/></c></r>").node;
    child = root.ChildAt(0);
    EXPECT_EQ(References(child), 2);
  }
  EXPECT_EQ(ElementOf(child)->parent, nullptr);
  EXPECT_EQ(References(child), 1);
  EXPECT_STREQ(child.AttributeValue("k"), "v");
  EXPECT_EQ(ElementOf(child.ChildAt(0))->parent, ElementOf(child).get());
}

TEST(XmlHandles, ParseResultIsTheOnlyHolder) {
  test::Parsed p = Parse("<?xml version='1.0'?><root><a/></root>", "root");
  EXPECT_EQ(References(p.node), 1);
  EXPECT_EQ(ElementOf(p.node)->parent, nullptr);
  test::Parsed doc = Parse("<a/>text");
  EXPECT_EQ(References(doc.node), 1);
  EXPECT_EQ(References(doc.node.ChildAt(0)), 2);
}

TEST(XmlBuilding, ParsedElementsCanBeExtended) {
  XmlNode root = Parse("<r a='1' b><c k='&lt;v'/>t<![CDATA[x]]></r>").node;
  root.AppendAttribute("d", "4");
  XmlNode c = root.ChildAt(0);
  c.AppendAttribute("n", nullptr);
  root.AppendChild(XmlNode::NewRoot("e"));
  EXPECT_EQ(Describe(root), "<r a='1' b d='4'><c k='<v' n></>[t]<![CDATA[x]]><e></></>");
  XmlNode other = Parse("<o><p/></o>").node;
  other.AppendChild(c, 0);
  EXPECT_EQ(Describe(root), "<r a='1' b d='4'>[t]<![CDATA[x]]><e></></>");
  EXPECT_EQ(Describe(other), "<o><c k='<v' n></><p></></>");
}

}  // namespace
