#pragma once
// The tolerant parser behind TqrxNode::LoadFromText. It reads start tags with their
// attributes, processing instructions, comments and CDATA sections, skips all text between
// tags, and does not compare closing tags with anything: a closing tag simply ends the
// content of the tag being read.

#include <string_view>

namespace ks {

class TqrxNode;

// Nesting deeper than this is refused with a parse error rather than risking the stack.
inline constexpr int kMaxTagDepth = 1000;

// Appends the tags parsed from the text to the receiver's children. On failure the tag being
// read is destroyed with its partial content; tags completed before it stay.
void ParseTags(TqrxNode& receiver, std::string_view text);

// The parse cursor: the whole text and the position in it. Reads never pass the end.
class TqrxText {
 public:
  explicit TqrxText(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  size_t Remaining() const { return text_.size() - pos_; }
  // The character `ahead` places on, or '\0' beyond the end.
  char Peek(size_t ahead = 0) const {
    return ahead < Remaining() ? text_[pos_ + ahead] : '\0';
  }
  bool StartsWith(std::string_view s) const { return text_.substr(pos_).starts_with(s); }
  // Moves on, stopping at the end of the text.
  void Advance(size_t n = 1) { pos_ += n < Remaining() ? n : Remaining(); }
  size_t Position() const { return pos_; }
  void MoveTo(size_t pos) { pos_ = pos < text_.size() ? pos : text_.size(); }
  std::string_view Text() const { return text_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace ks
