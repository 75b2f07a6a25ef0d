#pragma once
// The document tree: tags with attributes, nodes that own their children, and the root of a
// whole document. The parser (xml_parser.h) builds it; the metadata classes derive from
// TqrxNode and read their attributes in Loaded().
//
// Ownership: a node owns its children. Destroying a tag removes it from its parent's list;
// Detach() hands an attached tag back to the caller.

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/non_copyable.h"
#include "xml/xml_exceptions.h"

namespace ks {

class TqrxNode;
class TqrxRootNode;
class TqrxTag;

// One attribute filter of the child look-ups: the attribute `name` must equal `value`.
struct TqrxAttrPair {
  std::string name;
  std::string value;
};
using TqrxAttrPairs = std::vector<TqrxAttrPair>;

struct TqrxTagAttr {
  std::string name;
  std::string value;
};

// The attributes of one tag, in insertion order.
class TqrxTagAttrs {
 public:
  explicit TqrxTagAttrs(TqrxTag& owner) : owner_(owner) {}

  TqrxTag& Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises the list error for an index outside the collection.
  const TqrxTagAttr& Item(int index) const;
  // The first attribute of that name (exact case), or none.
  const TqrxTagAttr* Find(std::string_view name) const;
  // Overwrites the first attribute of that name or appends a new one.
  void Set(std::string_view name, std::string_view value);

 private:
  TqrxTag& owner_;
  std::vector<TqrxTagAttr> items_;
};

class TqrxTag : NonCopyable {
 public:
  TqrxTag() = default;
  virtual ~TqrxTag();

  TqrxNode* Parent() const { return parent_; }
  // Moves the tag to the end of new_parent's children; new_parent takes ownership. A tag
  // that has no parent yet must be handed over with TqrxNode::AppendChild instead.
  void SetParent(TqrxNode& new_parent);
  // Removes the tag from its parent and gives it to the caller.
  std::unique_ptr<TqrxTag> Detach();

  // The text that opens the tag and the text that ends its start.
  virtual std::string OpenText() const = 0;
  virtual std::string CloseText() const = 0;
  // Called once after the tag's attributes and all its content have been parsed.
  virtual void Loaded() {}

  // Attribute names are compared with case.
  bool HasAttr(std::string_view name) const;
  // The value of the first attribute of that name, or "" when there is none.
  std::string GetAttr(std::string_view name) const;
  void SetAttr(std::string_view name, std::string_view value);
  // The value at a position (from 0): "Attribute not found" when the tag has no attribute at
  // all, the list error for a position outside the attributes.
  const std::string& AttrValue(int index) const;
  const TqrxTagAttrs* Attrs() const { return attrs_.get(); }

  // The topmost ancestor (from the tag itself when it is a node); it must be a root node.
  TqrxRootNode& FindRoot();

 private:
  friend class TqrxNode;
  TqrxNode* parent_ = nullptr;
  std::unique_ptr<TqrxTagAttrs> attrs_;
};

class TqrxNamedTag : public TqrxTag {
 public:
  // The element name (SetName stores it).
  const std::string& TagName() const { return name_; }
  virtual void SetName(std::string name) { name_ = std::move(name); }

  std::string OpenText() const override { return "<" + name_; }

 private:
  std::string name_;
};

class TqrxNode : public TqrxNamedTag {
 public:
  ~TqrxNode() override;

  std::string CloseText() const override { return children_.empty() ? "/>" : ">"; }

  int ChildCount() const { return static_cast<int>(children_.size()); }
  // "Child list empty" when there are no children, "Child index out of bounds" otherwise.
  TqrxTag& Child(int index) const;
  // Appends a tag that has no parent yet and returns it.
  TqrxTag& AppendChild(std::unique_ptr<TqrxTag> tag);

  // The first named child (instructions included) with that exact name whose attributes
  // match every pair exactly; none when nothing matches.
  TqrxNamedTag* FindChild(std::string_view name, const TqrxAttrPairs& pairs = {}) const;
  // The same, counting only children that are nodes.
  TqrxNode* FindNode(std::string_view name, const TqrxAttrPairs& pairs = {}) const;
  // FindChild, or a new plain node with that name and those attributes when nothing matches.
  // A matching child that is not a node is the type-check error.
  TqrxNode& AddChild(std::string_view name, const TqrxAttrPairs& pairs = {});
  // Walks "a/b/c" from this node with AddChild, creating missing steps as plain nodes.
  TqrxNode& NodeByPath(std::string_view path);
  void ClearChildren();

  // Replace the children by the tags parsed from the text.
  void LoadFromText(std::string_view text);
  // Read the whole file or stream as lines, end every line with CR LF, and parse that.
  void LoadFromFile(const std::string& path);
  void LoadFromStream(std::istream& stream);

 private:
  friend class TqrxTag;
  std::unique_ptr<TqrxTag> ReleaseChild(TqrxTag& child);

  std::vector<std::unique_ptr<TqrxTag>> children_;
};

// A node that tops a document. A new one holds the declaration
// <?xml version="1.0" encoding="Windows-1251"?> as its only child.
class TqrxRootNode : public TqrxNode {
 public:
  TqrxRootNode();
};

// The class of a whole document.
class TqrxTree : public TqrxRootNode {};

// A processing instruction such as the XML declaration.
class TqrxInstructionTag : public TqrxNamedTag {
 public:
  std::string OpenText() const override { return "<?" + TagName(); }
  std::string CloseText() const override { return "?>"; }
};

class TqrxCommentTag : public TqrxTag {
 public:
  std::string OpenText() const override { return "<!--"; }
  std::string CloseText() const override { return "-->"; }
};

class TqrxCDataTag : public TqrxTag {
 public:
  std::string OpenText() const override { return "<![CDATA["; }
  std::string CloseText() const override { return "]]>"; }

  // The section's text, trimmed, one entry per line.
  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The type check: the tag as a T, or the error "Invalid class typecast" when it is none or
// of another class.
template <typename T>
T& TagCast(TqrxTag* tag) {
  T* result = dynamic_cast<T*>(tag);
  if (result == nullptr) throw EInvalidCast();
  return *result;
}

// The same, but none passes as none.
template <typename T>
T* TagCastOrNull(TqrxTag* tag) {
  if (tag == nullptr) return nullptr;
  return &TagCast<T>(tag);
}

}  // namespace ks
