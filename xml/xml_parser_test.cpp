#include "xml/xml_parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/testing/failure_message.h"
#include "xml/tag_registry.h"
#include "xml/xml_tag.h"

namespace ks {
namespace {

TqrxNode& NodeAt(const TqrxNode& node, int index) { return TagCast<TqrxNode>(&node.Child(index)); }

// The number of top-level tags of a text loaded into a fresh tree.
int TopLevelCount(const std::string& text) {
  TqrxTree tree;
  tree.LoadFromText(text);
  return tree.ChildCount();
}

TEST(XmlParser, TextWithoutTagsGivesNoChildren) {
  ASSERT_EQ(TqrxTree().ChildCount(), 1);  // the default declaration
  EXPECT_EQ(TopLevelCount(""), 0);
  EXPECT_EQ(TopLevelCount("just text, no markup"), 0);
}

TEST(XmlParser, DeclarationAndElementInDocumentOrder) {
  TqrxTree tree;
  tree.LoadFromText("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<doc version=\"7\">\r\n</doc>");
  ASSERT_EQ(tree.ChildCount(), 2);
  auto& decl = TagCast<TqrxInstructionTag>(&tree.Child(0));
  EXPECT_EQ(decl.TagName(), "xml");
  EXPECT_EQ(decl.GetAttr("encoding"), "Windows-1251");
  EXPECT_EQ(NodeAt(tree, 1).GetAttr("version"), "7");
  EXPECT_NE(tree.FindChild("doc"), nullptr);
  EXPECT_EQ(tree.FindChild("Doc"), nullptr);
}

TEST(XmlParser, ClosingTagsAreNeverCompared) {
  TqrxTree tree;
  tree.LoadFromText("<a><b/></c>");
  ASSERT_EQ(tree.ChildCount(), 1);
  EXPECT_EQ(NodeAt(tree, 0).ChildCount(), 1);

  tree.LoadFromText("<a/></b><c/>");  // a closing tag at top level ends parsing
  ASSERT_EQ(tree.ChildCount(), 1);
  EXPECT_EQ(NodeAt(tree, 0).TagName(), "a");
}

TEST(XmlParser, UnclosedStartTagTakesTheRestAsDescendants) {
  TqrxTree tree;
  tree.LoadFromText("<a><b><c/><d/>");
  ASSERT_EQ(tree.ChildCount(), 1);
  TqrxNode& b = NodeAt(NodeAt(tree, 0), 0);
  EXPECT_EQ(b.ChildCount(), 2);
}

TEST(XmlParser, AttributeScanningRules) {
  TqrxTree tree;
  tree.LoadFromText("<r a='x''y' q=\"say \"\"hi\"\"\"/>");
  EXPECT_EQ(NodeAt(tree, 0).GetAttr("a"), "x'y");
  EXPECT_EQ(NodeAt(tree, 0).GetAttr("q"), "say \"hi\"");

  tree.LoadFromText("<a b='1' c='3' b='2'/>");
  TqrxNode& a = NodeAt(tree, 0);
  ASSERT_EQ(a.Attrs()->Count(), 2);
  EXPECT_EQ(a.Attrs()->Item(0).name, "b");
  EXPECT_EQ(a.AttrValue(0), "2");

  tree.LoadFromText("<a e='' f = \"&#x2C;\"/>");
  EXPECT_TRUE(NodeAt(tree, 0).HasAttr("e"));
  EXPECT_EQ(NodeAt(tree, 0).GetAttr("e"), "");
  EXPECT_EQ(NodeAt(tree, 0).GetAttr("f"), "&#x2C;");  // references stay encoded
}

TEST(XmlParser, NamesStopAtNonAlphanumericCharacters) {
  // The rest of the name becomes an attribute that takes the value that follows.
  struct Case {
    const char* text;
    const char* tag;
    const char* attribute;
  };
  for (const Case& c : {Case{"<my_tag x='1'/>", "my", "tag"}, Case{"<a:b x='1'/>", "a", "b"}}) {
    TqrxTree tree;
    tree.LoadFromText(c.text);
    TqrxNode& node = NodeAt(tree, 0);
    EXPECT_EQ(node.TagName(), c.tag);
    ASSERT_EQ(node.Attrs()->Count(), 1);
    EXPECT_EQ(node.GetAttr(c.attribute), "1");
  }

  // A name is followed by the next quoted value wherever it is, even in a later tag.
  TqrxTree tree;
  tree.LoadFromText("<a b><c d='v'/></a>");
  EXPECT_EQ(NodeAt(tree, 0).GetAttr("b"), "v");
}

TEST(XmlParser, CDataSectionIsTrimmedAndSplitIntoLines) {
  TqrxTree tree;
  tree.LoadFromText("<a><![CDATA[  first line\r\nsecond <b/> line \t ]]></a>");
  TqrxNode& a = NodeAt(tree, 0);
  ASSERT_EQ(a.ChildCount(), 1);
  auto& cdata = TagCast<TqrxCDataTag>(&a.Child(0));
  ASSERT_EQ(cdata.Lines().size(), 2u);
  EXPECT_EQ(cdata.Lines()[0], "first line");
  EXPECT_EQ(cdata.Lines()[1], "second <b/> line");
}

TEST(XmlParser, CommentsAreSkippedToTheirEnd) {
  TqrxTree tree;
  tree.LoadFromText("<a><!-- <b/> -- > --><c/></a>");
  TqrxNode& a = NodeAt(tree, 0);
  ASSERT_EQ(a.ChildCount(), 2);
  EXPECT_NE(dynamic_cast<TqrxCommentTag*>(&a.Child(0)), nullptr);
  EXPECT_EQ(NodeAt(a, 1).TagName(), "c");
}

TEST(XmlParser, UnknownTagTypes) {
  TqrxTree tree;
  EXPECT_THROW(tree.LoadFromText("< a/>"), EqrxUnknownTagType);
  EXPECT_THROW(tree.LoadFromText("<-a/>"), EqrxUnknownTagType);
  EXPECT_THROW(tree.LoadFromText("<!DOCTYPE x>"), EqrxUnknownTagType);
  EXPECT_EQ(testing::FailureMessage<EqrxTagParseException>([&] { tree.LoadFromText("<a/><\xC0/>"); }),
            "Unknown tag type");
}

// Each text ends inside a construct: a parse error, never a crash or a read past the end.
TEST(XmlParser, TruncatedTextsRaiseParseErrors) {
  const char* texts[] = {
      "<",          "<a",         "<a b",       "<a b=",       "<a b='x",    "<a b='x'",
      "<a/",        "<?xml",      "<?xml ?",    "<!",          "<!-",        "<!-- open",
      "<!--->",     "<![CDATA[",  "<![CDATA[x]]", "<![CDATA[x]", "<a><b c='", "<a b=\"x\"\"",
  };
  for (const char* text : texts) {
    TqrxTree tree;
    EXPECT_THROW(tree.LoadFromText(text), EqrxTagParseException) << text;
  }
}

TEST(XmlParser, ClosingTagAtTheVeryEndIsHarmless) {
  TqrxTree tree;
  tree.LoadFromText("<a></");
  EXPECT_EQ(tree.ChildCount(), 1);
  tree.LoadFromText("</");
  EXPECT_EQ(tree.ChildCount(), 0);
}

TEST(XmlParser, FailedTagIsRemovedAndEarlierTagsStay) {
  TqrxTree tree;
  EXPECT_THROW(tree.LoadFromText("<a/><b><c/><d x='1"), EqrxTagParseException);
  ASSERT_EQ(tree.ChildCount(), 1);
  EXPECT_EQ(NodeAt(tree, 0).TagName(), "a");
}

TEST(XmlParser, InstructionWithContentIsATypeError) {
  TqrxTree tree;
  EXPECT_THROW(tree.LoadFromText("<?xml version='1.0'><a/>"), EInvalidCast);
  EXPECT_EQ(tree.ChildCount(), 0);
}

TEST(XmlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  TqrxTree tree;
  EXPECT_THROW(tree.LoadFromText(deep), EqrxTagParseException);
  EXPECT_EQ(tree.ChildCount(), 0);

  std::string ok;
  for (int i = 0; i < kMaxTagDepth; ++i) ok += "<a>";
  tree.LoadFromText(ok);
  EXPECT_EQ(tree.ChildCount(), 1);
}

class Counting : public TqrxNode {
 public:
  void Loaded() override {
    order += TagName() + "(" + std::to_string(ChildCount()) + ")";
  }
  static std::string order;
};
std::string Counting::order;

TEST(XmlParser, RegisteredClassesAreBuiltAndLoadedChildrenFirst) {
  static bool once = [] {
    RegisterTagClass("countingnode", &MakeTagClass<Counting>);
    return true;
  }();
  (void)once;
  EXPECT_THROW(RegisterTagClass("CountingNode", &MakeTagClass<Counting>), EListError);
  EXPECT_EQ(FindTagClass("COUNTINGNODE"), &MakeTagClass<Counting>);

  Counting::order.clear();
  TqrxTree tree;
  tree.LoadFromText("<CountingNode><countingnode/><plain/></CountingNode>");
  EXPECT_EQ(Counting::order, "countingnode(0)CountingNode(2)");
  EXPECT_NE(dynamic_cast<Counting*>(&tree.Child(0)), nullptr);
  EXPECT_EQ(typeid(NodeAt(NodeAt(tree, 0), 1)), typeid(TqrxNode));
}

TEST(XmlParser, StreamLinesAreJoinedWithCrLf) {
  std::istringstream stream("<a>\n<b x='1\n2'/>\r</a>");
  TqrxTree tree;
  tree.LoadFromStream(stream);
  EXPECT_EQ(NodeAt(NodeAt(tree, 0), 0).GetAttr("x"), "1\r\n2");
}

TEST(XmlParser, MissingFileIsAnError) {
  TqrxTree tree;
  EXPECT_THROW(tree.LoadFromFile("/nonexistent/dir/doc.xml"), Exception);
}

}  // namespace
}  // namespace ks
