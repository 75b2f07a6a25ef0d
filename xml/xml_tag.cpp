#include "xml/xml_tag.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <iterator>
#include <sstream>

#include "xml/sorted_string_list.h"
#include "xml/xml_parser.h"
#include "xml/xml_text.h"

namespace ks {

// ---- attributes

const TqrxTagAttr& TqrxTagAttrs::Item(int index) const {
  if (index < 0 || index >= Count()) ThrowListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

const TqrxTagAttr* TqrxTagAttrs::Find(std::string_view name) const {
  for (const TqrxTagAttr& attr : items_) {
    if (attr.name == name) return &attr;
  }
  return nullptr;
}

void TqrxTagAttrs::Set(std::string_view name, std::string_view value) {
  for (TqrxTagAttr& attr : items_) {
    if (attr.name == name) {
      attr.value = value;
      return;
    }
  }
  items_.push_back({std::string(name), std::string(value)});
}

// ---- tags

TqrxTag::~TqrxTag() {
  // A tag destroyed on its own leaves its parent's list; ReleaseChild gives up ownership
  // without destroying it a second time.
  if (parent_ != nullptr) parent_->ReleaseChild(*this).release();
}

void TqrxTag::SetParent(TqrxNode& new_parent) {
  for (TqrxTag* up = &new_parent; up != nullptr; up = up->parent_) {
    if (up == this) throw Exception("A tag cannot be moved below itself");
  }
  if (parent_ == nullptr) throw Exception("A tag without parent has no owner to move from");
  new_parent.AppendChild(parent_->ReleaseChild(*this));
}

std::unique_ptr<TqrxTag> TqrxTag::Detach() {
  if (parent_ == nullptr) return nullptr;
  return parent_->ReleaseChild(*this);
}

bool TqrxTag::HasAttr(std::string_view name) const {
  return attrs_ != nullptr && attrs_->Find(name) != nullptr;
}

std::string TqrxTag::GetAttr(std::string_view name) const {
  if (attrs_ == nullptr) return {};
  const TqrxTagAttr* attr = attrs_->Find(name);
  return attr == nullptr ? std::string() : attr->value;
}

void TqrxTag::SetAttr(std::string_view name, std::string_view value) {
  if (attrs_ == nullptr) attrs_ = std::make_unique<TqrxTagAttrs>(*this);
  attrs_->Set(name, value);
}

const std::string& TqrxTag::AttrValue(int index) const {
  if (attrs_ == nullptr) throw EqrxTagAttrNotFound("Attribute not found");
  return attrs_->Item(index).value;
}

TqrxRootNode& TqrxTag::FindRoot() {
  TqrxTag* top = dynamic_cast<TqrxNode*>(this) != nullptr ? this : parent_;
  while (top != nullptr && top->parent_ != nullptr) top = top->parent_;
  auto* root = dynamic_cast<TqrxRootNode*>(top);
  if (root == nullptr) throw Exception("final parent not a root");
  return *root;
}

// ---- nodes

TqrxNode::~TqrxNode() { ClearChildren(); }

TqrxTag& TqrxNode::Child(int index) const {
  if (children_.empty()) throw EqrxTagChildNotFound("Child list empty");
  if (index < 0 || index >= ChildCount()) {
    throw EqrxTagChildNotFound("Child index out of bounds");
  }
  return *children_[static_cast<size_t>(index)];
}

TqrxTag& TqrxNode::AppendChild(std::unique_ptr<TqrxTag> tag) {
  if (tag->parent_ != nullptr) throw Exception("The tag already has a parent");
  tag->parent_ = this;
  children_.push_back(std::move(tag));
  return *children_.back();
}

std::unique_ptr<TqrxTag> TqrxNode::ReleaseChild(TqrxTag& child) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [&](const std::unique_ptr<TqrxTag>& p) { return p.get() == &child; });
  if (it == children_.end()) return nullptr;
  std::unique_ptr<TqrxTag> owned = std::move(*it);
  children_.erase(it);
  owned->parent_ = nullptr;
  return owned;
}

namespace {

// The first child of the kind Tag with the name and every attribute pair given.
template <typename Tag>
Tag* FindAmong(const std::vector<std::unique_ptr<TqrxTag>>& children, std::string_view name,
               const TqrxAttrPairs& pairs) {
  for (const auto& child : children) {
    auto* tag = dynamic_cast<Tag*>(child.get());
    if (tag == nullptr || tag->TagName() != name) continue;
    const bool all = std::all_of(pairs.begin(), pairs.end(),
                                 [&](const TqrxAttrPair& pair) { return tag->GetAttr(pair.name) == pair.value; });
    if (all) return tag;
  }
  return nullptr;
}

}  // namespace

TqrxNamedTag* TqrxNode::FindChild(std::string_view name, const TqrxAttrPairs& pairs) const {
  return FindAmong<TqrxNamedTag>(children_, name, pairs);
}

TqrxNode* TqrxNode::FindNode(std::string_view name, const TqrxAttrPairs& pairs) const {
  return FindAmong<TqrxNode>(children_, name, pairs);
}

TqrxNode& TqrxNode::AddChild(std::string_view name, const TqrxAttrPairs& pairs) {
  if (TqrxNamedTag* found = FindChild(name, pairs)) return TagCast<TqrxNode>(found);
  auto& node = static_cast<TqrxNode&>(AppendChild(std::make_unique<TqrxNode>()));
  node.SetName(std::string(name));
  for (const TqrxAttrPair& pair : pairs) node.SetAttr(pair.name, pair.value);
  return node;
}

TqrxNode& TqrxNode::NodeByPath(std::string_view path) {
  std::vector<std::string> steps;
  SplitString(path, steps, '/');
  TqrxNode* node = this;
  for (const std::string& step : steps) node = &node->AddChild(step);
  return *node;
}

void TqrxNode::ClearChildren() {
  // Detach first, so that no child tries to leave the list being emptied.
  std::vector<std::unique_ptr<TqrxTag>> doomed;
  doomed.swap(children_);
  for (auto& child : doomed) child->parent_ = nullptr;
}

void TqrxNode::LoadFromText(std::string_view text) {
  ClearChildren();
  ParseTags(*this, text);
}

void TqrxNode::LoadFromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Exception("Cannot open file \"" + path + "\"");
  LoadFromStream(file);
}

void TqrxNode::LoadFromStream(std::istream& stream) {
  const std::string raw((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (stream.bad()) throw Exception("Stream read error");
  // Lines end at CR LF, LF or CR; every line, the last one included, gets CR LF.
  std::string text;
  text.reserve(raw.size() + 2);
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find_first_of("\r\n", start);
    if (end == std::string::npos) end = raw.size();
    text.append(raw, start, end - start);
    text += "\r\n";
    if (end < raw.size() && raw[end] == '\r' && end + 1 < raw.size() && raw[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  LoadFromText(text);
}

TqrxRootNode::TqrxRootNode() {
  auto declaration = std::make_unique<TqrxInstructionTag>();
  declaration->SetName("xml");
  declaration->SetAttr("version", "1.0");
  declaration->SetAttr("encoding", "Windows-1251");
  AppendChild(std::move(declaration));
}

}  // namespace ks
