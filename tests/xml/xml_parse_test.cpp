#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <string>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include "support/sanitizers.h"
#include "xml/xml_element.h"
#include "xml/xml_test_support.h"

using test::Describe;
using test::Parse;
using test::TextAt;

namespace {

void ExpectOutcome(const test::Parsed& p, int error, int line, int column) {
  EXPECT_EQ(p.outcome.error, error);
  EXPECT_EQ(p.outcome.line, line);
  EXPECT_EQ(p.outcome.column, column);
}

TEST(XmlTokens, AttributesBareUnquotedAndSingleQuoted) {
  test::Parsed p = Parse("<a flag v=1 w='x'/>");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_EQ(p.node.ElementCount(), 3);
  EXPECT_EQ(p.node.AttributeValue("flag"), nullptr);
  EXPECT_STREQ(p.node.AttributeValue("v"), "1");
  EXPECT_STREQ(p.node.AttributeValue("W"), "x");
  EXPECT_EQ(Describe(p.node), "<a flag v='1' w='x'></>");
}

TEST(XmlTokens, QuotedValueKeepsMarkupCharacters) {
  test::Parsed p = Parse("<a x=\"1>2=3/>\" y = 'it\"s' />");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_STREQ(p.node.AttributeValue("x"), "1>2=3/>");
  EXPECT_STREQ(p.node.AttributeValue("y"), "it\"s");
}

TEST(XmlTokens, UnclosedQuoteReadsAsWord) {
  test::Parsed p = Parse("<a x=\"ab>t</a>");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_STREQ(p.node.AttributeValue("x"), "\"ab");
  EXPECT_EQ(TextAt(p.node, 0), "t");
}

TEST(XmlTokens, NamesKeepTheirSpellingAndMatchIgnoringCase) {
  test::Parsed p = Parse("<Root Attr=\"v\"><n\xC3\xA9 \xC3\xBC='\xE2\x82\xAC'/></ROOT >");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_STREQ(p.node.Name(), "Root");
  EXPECT_STREQ(p.node.AttributeValue("attr"), "v");
  EXPECT_STREQ(p.node.ChildAt(0).Name(), "n\xC3\xA9");
  EXPECT_STREQ(p.node.ChildAt(0).AttributeValue("\xC3\xBC"), "\xE2\x82\xAC");
}

TEST(XmlTokens, MalformedTagsGiveTheirCodes) {
  ExpectOutcome(Parse("<a><>"), kXmlMissingStartTagName, 1, 6);
  ExpectOutcome(Parse("<a><?/></a>"), kXmlMissingStartTagName, 1, 8);
  ExpectOutcome(Parse("<a></>"), kXmlMissingEndTagName, 1, 7);
  ExpectOutcome(Parse("<a></a"), kXmlMissingEndTagName, 1, 7);
  ExpectOutcome(Parse("<a b=>"), kXmlUnexpectedToken, 1, 7);
  ExpectOutcome(Parse("<a =b>"), kXmlUnexpectedToken, 1, 5);
  ExpectOutcome(Parse("<a <b/>"), kXmlUnexpectedToken, 1, 5);
  EXPECT_TRUE(Parse("<a b=>").node.IsNull());
}

TEST(XmlNesting, UnclosedChildIsClosedByParentEndTag) {
  test::Parsed p = Parse("<a><b></a>");
  ExpectOutcome(p, kXmlWarningUnmatchedEndTag, 1, 11);
  EXPECT_EQ(Describe(p.node), "<a><b></></>");
}

TEST(XmlNesting, OneEndTagClosesSeveralElements) {
  test::Parsed p = Parse("<a><b><c>x</a><d/>");
  EXPECT_EQ(p.outcome.error, kXmlWarningUnmatchedEndTag);
  // d follows a, so the document holds two elements and is returned itself.
  EXPECT_EQ(Describe(p.node), "<#document><a><b><c>[x]</></></><d></></>");
}

TEST(XmlNesting, EndTagMatchingNoOpenElementIsAnError) {
  ExpectOutcome(Parse("<a></b>"), kXmlUnmatchedEndTag, 1, 8);
  EXPECT_TRUE(Parse("<a></b>").node.IsNull());
  EXPECT_EQ(Parse("<a><b></c></a>").outcome.error, kXmlUnmatchedEndTag);
}

TEST(XmlNesting, InputEndingInsideAnElementWarns) {
  test::Parsed p = Parse("<a>");
  ExpectOutcome(p, kXmlWarningUnmatchedEndTag, 1, 4);
  EXPECT_STREQ(p.node.Name(), "a");
}

TEST(XmlNesting, StrayTopLevelEndTagEndsTheParse) {
  test::Parsed p = Parse("<a/></x><b/>");
  ExpectOutcome(p, kXmlWarningUnmatchedEndTag, 1, 9);
  EXPECT_EQ(Describe(p.node), "<a></>");
}

TEST(XmlNesting, PositionsCountCharactersNotBytes) {
  test::Parsed p = Parse("<a>\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r</b>");
  ExpectOutcome(p, kXmlUnmatchedEndTag, 2, 9);
}

TEST(XmlNesting, DeepNestingNeedsNoMachineStack) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  test::Parsed p = Parse(deep.c_str());
  EXPECT_EQ(p.outcome.error, kXmlWarningUnmatchedEndTag);
  EXPECT_EQ(test::Compact(p.node).size(), 200000u * 7 - 3);
}

TEST(XmlDeclarations, TopDeclarationHoldsTheRestOfTheDocument) {
  test::Parsed p = Parse("<?xml version=\"1.0\" encoding='utf-8'?>\n<root><c/></root>\n");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_TRUE(p.node.IsDeclarationElement());
  EXPECT_EQ(Describe(p.node), "<?xml version='1.0' encoding='utf-8'><root><c></></></>");
}

TEST(XmlDeclarations, RequiredRootIsFoundInsideTheDeclarationAndIsParentless) {
  test::Parsed p =
      Parse("<?xml version=1.0?><nic_fw_package><nic/></nic_fw_package>", "NIC_FW_PACKAGE");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_STREQ(p.node.Name(), "nic_fw_package");
  EXPECT_EQ(ElementOf(p.node)->parent, nullptr);
}

TEST(XmlDeclarations, NestedDeclarationClosesAtItsEnd) {
  test::Parsed p = Parse("<r><?pi x=\"1\"?><c/></r>");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_EQ(Describe(p.node), "<r><?pi x='1'></><c></></>");
}

TEST(XmlDeclarations, UnclosedDeclarationDoesNotWarnAtTheEnd) {
  test::Parsed p = Parse("<?xml version=\"1.0\"?>");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_TRUE(p.node.IsDeclarationElement());
}

TEST(XmlTexts, RunsAreTrimmedAndBlankRunsDropped) {
  test::Parsed p = Parse("<a>  hello \t world \r\n <b/> \n </a>");
  EXPECT_EQ(Describe(p.node), "<a>[hello \t world]<b></></>");
}

TEST(XmlTexts, TextsChildrenAndSectionsKeepDocumentOrder) {
  test::Parsed p = Parse("<a>t1<b/>t2<![CDATA[c]]>t3</a>");
  EXPECT_EQ(Describe(p.node), "<a>[t1]<b></>[t2]<![CDATA[c]]>[t3]</>");
}

TEST(XmlTexts, CommentBetweenTwoTextsJoinsThem) {
  test::Parsed p = Parse("<a>Fish <!-- and --> Chips<!--x--></a>");
  EXPECT_EQ(Describe(p.node), "<a>[FishChips]<!--x--></>");
  EXPECT_EQ(ElementOf(p.node)->clears.size(), 1u);
}

TEST(XmlTexts, JoinedTextContinuesAtTheEarlierTextsEnd) {
  // A reference to character 0 ends the earlier text early; the later run follows there.
  test::Parsed p = Parse("<a>x&#0;y<!--c-->z&amp;</a>");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_EQ(TextAt(p.node, 0), "xz&");
}

TEST(XmlTexts, BadReferenceInAJoiningRunLeavesTheEarlierText) {
  // The error gives way to the warning of a text without elements, which shows the tree.
  test::Parsed p = Parse("<!--c-->ab<!--d-->x&amp;&#300;");
  ExpectOutcome(p, kXmlWarningNoTagFound, 1, 31);
  EXPECT_EQ(Describe(p.node), "<#document><!--c-->[ab]<!--d--></>");
}

TEST(XmlTexts, ManyCommentSeparatedRunsJoinIntoOneText) {
  std::string text = "<a>";
  for (int i = 0; i < 100000; ++i) text += "ab<!--c-->";
  text += "c</a>";
  test::Parsed p = Parse(text.c_str());
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_EQ(TextAt(p.node, 0).size(), 200001u);
  EXPECT_EQ(p.node.ElementCount(), 1);
}

TEST(XmlTexts, CommentNotBetweenTextsIsKept) {
  EXPECT_EQ(Describe(Parse("<a><!-- c -->y</a>").node), "<a><!-- c -->[y]</>");
  EXPECT_EQ(Describe(Parse("<a>x<![CDATA[c]]>y</a>").node), "<a>[x]<![CDATA[c]]>[y]</>");
}

TEST(XmlTexts, TextOnlyDocumentHasNoElement) {
  // Text before the first markup belongs to no run; text after it is kept.
  test::Parsed p = Parse("lead <!-- c --> words");
  ExpectOutcome(p, kXmlWarningNoTagFound, 1, 22);
  EXPECT_EQ(Describe(p.node), "<#document><!-- c -->[words]</>");
}

TEST(XmlEntities, NamedEntitiesDecodeIgnoringCase) {
  test::Parsed p = Parse("<a v='&lt;&GT;&Quot;&apos;'>Fish &AMP; Chips &amp;amp;</a>");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_STREQ(p.node.AttributeValue("v"), "<>\"'");
  EXPECT_EQ(TextAt(p.node, 0), "Fish & Chips &amp;");
}

TEST(XmlEntities, NumericReferencesAreStoredAsOneByte) {
  test::Parsed p = Parse("<a>&#233;&#xE9;&#Xe9;&#65;&#x0041;</a>");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_EQ(TextAt(p.node, 0),
            "\xE9\xE9\xE9"
            "AA");
}

TEST(XmlEntities, BareAmpersandIsRejected) {
  for (const char* text : {"<a>Fish & Chips</a>", "<a v=\"Fish & Chips\"/>", "<a v=a&/>",
                           "<a>&#12</a>", "<a>&#</a>", "<a>&am</a>"}) {
    test::Parsed p = Parse(text);
    EXPECT_EQ(p.outcome.error, kXmlUnknownCharacterEntity) << text;
    EXPECT_TRUE(p.node.IsNull()) << text;
  }
}

TEST(XmlEntities, BadDigitsAndLargeValues) {
  EXPECT_EQ(Parse("<a>&#256;</a>").outcome.error, kXmlCharacterCodeAbove255);
  EXPECT_EQ(Parse("<a>&#x100;</a>").outcome.error, kXmlCharacterCodeAbove255);
  EXPECT_EQ(Parse("<a>&#99999999999999999999999;</a>").outcome.error, kXmlCharacterCodeAbove255);
  EXPECT_EQ(Parse("<a>&#99999999999999999999999z;</a>").outcome.error, kXmlUnknownCharacterEntity);
  EXPECT_EQ(Parse("<a>&#1a;</a>").outcome.error, kXmlUnknownCharacterEntity);
  EXPECT_EQ(Parse("<a>&#xG;</a>").outcome.error, kXmlUnknownCharacterEntity);
}

TEST(XmlClearSections, CdataIsKeptVerbatimAndEmptyOnesAreDropped) {
  test::Parsed p = Parse("<a><![CDATA[]]><![CDATA[x<y &z]]></a>");
  EXPECT_EQ(p.outcome.error, 0);
  ASSERT_EQ(ElementOf(p.node)->clears.size(), 1u);
  const XmlClearSection& s = ElementOf(p.node)->clears[0];
  EXPECT_EQ(s.content, "x<y &z");
  EXPECT_STREQ(s.opening, "<![CDATA[");
  EXPECT_STREQ(s.closing, "]]>");
}

TEST(XmlClearSections, UnclosedSectionIsAnError) {
  ExpectOutcome(Parse("<a><!-- x</a>"), kXmlUnmatchedClearTagEnd, 1, 8);
  EXPECT_EQ(Parse("<a><![CDATA[x]]</a>").outcome.error, kXmlUnmatchedClearTagEnd);
}

TEST(XmlClearSections, DoctypeWithInternalSubsetEndsAtItsClosing) {
  test::Parsed p = Parse("<!DOCTYPE note [<!ENTITY e \"v\">]>\n<note/>");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_EQ(Describe(p.node), "<#document><!DOCTYPE note [<!ENTITY e \"v\">]><note></></>");
  EXPECT_EQ(Describe(Parse("<!DOCTYPE html><html/>").node),
            "<#document><!DOCTYPE html><html></></>");
}

TEST(XmlClearSections, PreSectionsAreCaseSensitive) {
  EXPECT_EQ(Describe(Parse("<a><PRE> x & <y> </PRE></a>").node), "<a><PRE> x & <y> </PRE></>");
  EXPECT_EQ(Describe(Parse("<a><pre>t</pre></a>").node), "<a><pre>[t]</></>");
}

TEST(XmlRequiredTag, RootMatchesIgnoringCase) {
  test::Parsed p = Parse("<nic_fw_package version=\"2\"/>", "NIC_FW_PACKAGE");
  EXPECT_EQ(p.outcome.error, 0);
  EXPECT_STREQ(p.node.AttributeValue("VERSION"), "2");
}

TEST(XmlRequiredTag, DirectChildOfTheRootIsAccepted) {
  test::Parsed p = Parse("<outer><x/><wanted a='1'/></outer>", "wanted");
  ExpectOutcome(p, 0, 0, 0);
  EXPECT_STREQ(p.node.AttributeValue("a"), "1");
  EXPECT_EQ(ElementOf(p.node)->parent, nullptr);
}

TEST(XmlRequiredTag, MissingTagGivesElevenWithoutPosition) {
  ExpectOutcome(Parse("<outer><x><wanted/></x></outer>", "wanted"), kXmlFirstTagNotFound, 0, 0);
  ExpectOutcome(Parse("only text <!-- c -->", "wanted"), kXmlFirstTagNotFound, 0, 0);
  ExpectOutcome(Parse("<a>", "b"), kXmlFirstTagNotFound, 0, 0);
}

TEST(XmlRequiredTag, WarningsStillReturnTheElement) {
  test::Parsed p = Parse("<r><wanted>", "wanted");
  EXPECT_EQ(p.outcome.error, kXmlWarningUnmatchedEndTag);
  EXPECT_STREQ(p.node.Name(), "wanted");
}

TEST(XmlRequiredTag, NullTextGivesNine) {
  ExpectOutcome(Parse(nullptr, "a"), kXmlNoElements, 0, 0);
  EXPECT_TRUE(Parse(nullptr, "a").node.IsNull());
  EXPECT_TRUE(XmlNode::ParseText(nullptr, nullptr).error().code == kXmlNoElements);
}

#if !defined(_WIN32)
// Exits 0 when parsing text with 20 MB of address space to spare throws std::bad_alloc.
[[noreturn]] void ParseWithLittleMemory(const std::string& text) {
  long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(2);
  std::fclose(statm);
  rlimit limit;
  limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * 4096 + (20 << 20);
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
  try {
    XmlNode node = XmlNode::ParseRepaired(text.c_str(), nullptr);
  } catch (const std::bad_alloc&) {
    std::_Exit(0);
  }
  std::_Exit(1);
}

// A report with a 60 MB value under a memory limit: the allocation that fails throws
// instead of handing back null. The child starts afresh: a forked one would inherit the free
// heap earlier tests left, which may hold the value without new address space.
TEST(XmlMemory, RunningOutOfMemoryThrowsBadAlloc) {
#ifdef QV_ADDRESS_SANITIZER
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string text = "<a v=\"" + std::string(60 << 20, 'x') + "\"/>";
  EXPECT_EXIT(ParseWithLittleMemory(text), ::testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}
#endif

}  // namespace
