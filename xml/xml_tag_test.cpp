#include "xml/xml_tag.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/testing/failure_message.h"
#include "xml/xml_text.h"

namespace ks {
namespace {

TEST(XmlTree, NewTreeHoldsTheDefaultDeclaration) {
  TqrxTree tree;
  ASSERT_EQ(tree.ChildCount(), 1);
  auto& decl = TagCast<TqrxInstructionTag>(&tree.Child(0));
  EXPECT_EQ(decl.OpenText(), "<?xml");
  EXPECT_EQ(decl.CloseText(), "?>");
  EXPECT_EQ(decl.Attrs()->Item(0).name, "version");
  EXPECT_EQ(decl.Attrs()->Item(1).value, "Windows-1251");
}

TEST(XmlTree, AttributesKeepInsertionOrderAndCase) {
  TqrxNode node;
  EXPECT_FALSE(node.HasAttr("a"));
  EXPECT_EQ(node.GetAttr("a"), "");
  EXPECT_EQ(testing::FailureMessage<EqrxTagAttrNotFound>([&] { node.AttrValue(0); }),
            "Attribute not found");
  node.SetAttr("b", "1");
  node.SetAttr("a", "2");
  node.SetAttr("b", "3");
  EXPECT_EQ(node.AttrValue(0), "3");
  EXPECT_EQ(node.AttrValue(1), "2");
  EXPECT_FALSE(node.HasAttr("B"));
  EXPECT_EQ(testing::FailureMessage<EListError>([&] { node.AttrValue(2); }),
            "List index out of bounds (2)");
}

TEST(XmlTree, ChildErrors) {
  TqrxNode node;
  EXPECT_EQ(testing::FailureMessage<EqrxTagChildNotFound>([&] { node.Child(0); }),
            "Child list empty");
  node.AddChild("x");
  EXPECT_EQ(testing::FailureMessage<EqrxTagChildNotFound>([&] { node.Child(1); }),
            "Child index out of bounds");
  EXPECT_THROW(node.Child(-1), EqrxTagChildNotFound);
}

TEST(XmlTree, OpenAndCloseTexts) {
  TqrxNode node;
  node.SetName("fielddefs");
  EXPECT_EQ(node.OpenText(), "<fielddefs");
  EXPECT_EQ(node.CloseText(), "/>");
  node.AddChild("fielddef");
  EXPECT_EQ(node.CloseText(), ">");
  TqrxCDataTag cdata;
  EXPECT_EQ(cdata.OpenText(), "<![CDATA[");
  EXPECT_EQ(cdata.CloseText(), "]]>");
}

TEST(XmlTree, LookupsMatchNamesAndAttributesExactly) {
  TqrxTree tree;
  tree.LoadFromText(
      "<?xml version='1.0'?><t name='A'/><t name='B' kind='x'/><t name='B' kind='y'/>");
  EXPECT_EQ(tree.FindChild("xml"), &tree.Child(0));   // instructions count for FindChild
  EXPECT_EQ(tree.FindNode("xml"), nullptr);           // but not for FindNode
  EXPECT_EQ(tree.FindChild("t"), &tree.Child(1));
  EXPECT_EQ(tree.FindChild("t", {{"name", "B"}}), &tree.Child(2));
  EXPECT_EQ(tree.FindChild("t", {{"name", "B"}, {"kind", "y"}}), &tree.Child(3));
  EXPECT_EQ(tree.FindChild("t", {{"name", "b"}}), nullptr);
  EXPECT_EQ(tree.FindChild("T"), nullptr);
  EXPECT_EQ(tree.FindNode("t", {{"missing", ""}}), &tree.Child(1));  // missing reads as ""
}

TEST(XmlTree, AddChildAndNodeByPathCreatePlainNodes) {
  TqrxTree tree;
  TqrxNode& b = tree.NodeByPath("a/b");
  EXPECT_EQ(b.TagName(), "b");
  EXPECT_EQ(b.Parent()->TagName(), "a");
  EXPECT_EQ(&tree.NodeByPath("a/b"), &b);  // found, not created twice
  EXPECT_EQ(tree.ChildCount(), 2);

  TqrxNode& c = b.AddChild("c", {{"k", "1"}, {"v", "2"}});
  EXPECT_EQ(c.AttrValue(1), "2");
  EXPECT_EQ(&b.AddChild("c", {{"k", "1"}}), &c);

  TqrxNode& odd = tree.NodeByPath("x//y");  // an empty step is a node with an empty name
  EXPECT_EQ(odd.Parent()->TagName(), "");

  EXPECT_THROW(tree.AddChild("xml"), EInvalidCast);  // the declaration is not a node
}

TEST(XmlTree, DestroyingATagDetachesIt) {
  TqrxTree tree;
  TqrxNode& a = tree.AddChild("a");
  a.AddChild("b");
  a.AddChild("c");
  std::unique_ptr<TqrxTag> b = a.Child(0).Detach();
  EXPECT_EQ(b->Parent(), nullptr);
  EXPECT_EQ(a.ChildCount(), 1);
  b.reset();
  delete &a.Child(0);  // a tag destroyed on its own leaves the list
  EXPECT_EQ(a.ChildCount(), 0);
  EXPECT_EQ(a.CloseText(), "/>");
}

TEST(XmlTree, SetParentMovesAndRefusesCycles) {
  TqrxTree tree;
  TqrxNode& a = tree.AddChild("a");
  TqrxNode& b = tree.AddChild("b");
  TqrxNode& c = a.AddChild("c");
  c.SetParent(b);
  EXPECT_EQ(a.ChildCount(), 0);
  EXPECT_EQ(&b.Child(0), &c);
  EXPECT_THROW(b.SetParent(c), Exception);
  EXPECT_THROW(b.SetParent(b), Exception);
}

TEST(XmlTree, FindRootNeedsARootAtTheTop) {
  TqrxTree tree;
  TqrxNode& deep = tree.NodeByPath("a/b/c");
  EXPECT_EQ(&deep.FindRoot(), &tree);
  EXPECT_EQ(&tree.Child(0).FindRoot(), &tree);  // from the declaration's parent

  TqrxNode loose;
  TqrxNode& child = loose.AddChild("x");
  EXPECT_EQ(testing::FailureMessage<Exception>([&] { child.FindRoot(); }),
            "final parent not a root");
  TqrxCDataTag orphan;
  EXPECT_THROW(orphan.FindRoot(), Exception);
}

TEST(XmlText, DecodeEntities) {
  EXPECT_EQ(DecodeEntities("Str(UID&#x2C; 10)"), "Str(UID, 10)");
  EXPECT_EQ(DecodeEntities("&#x22;T&#x22;"), "\"T\"");
  EXPECT_EQ(DecodeEntities("&#x2c;"), ",");
  EXPECT_EQ(DecodeEntities("&#x1C2;"), "\xC2");  // modulo 256
  EXPECT_EQ(DecodeEntities("a & b"), "a & b");  // no ";": the rest as it stands
  EXPECT_EQ(DecodeEntities("tail &#x"), "tail &#x");
  EXPECT_EQ(DecodeEntities("&#x;"), std::string(1, '\0'));
  EXPECT_EQ(DecodeEntities("&;x"), std::string("\0x", 2));
  EXPECT_EQ(DecodeEntities(""), "");
}

TEST(XmlText, HexToInt) {
  EXPECT_EQ(HexToInt("2C"), 0x2C);
  EXPECT_EQ(HexToInt("ff"), 0xFF);
  EXPECT_EQ(HexToInt(""), 0);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  HexToInt("\x01\xFF zz!~");  // nonsense in, some number out, no failure
}

TEST(XmlText, SplitStringKeepsEmptyPieces) {
  std::vector<std::string> list{"old"};
  SplitString("a//b", list, '/');
  EXPECT_EQ(list, (std::vector<std::string>{"a", "", "b"}));
  SplitString("abc", list, '/');
  EXPECT_EQ(list, (std::vector<std::string>{"abc"}));
  SplitString("FTYPE;FIRM;", list, ';');
  EXPECT_EQ(list, (std::vector<std::string>{"FTYPE", "FIRM", ""}));
}

}  // namespace
}  // namespace ks
