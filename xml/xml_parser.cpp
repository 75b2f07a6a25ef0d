#include "xml/xml_parser.h"

#include <memory>
#include <string>

#include "xml/tag_registry.h"
#include "xml/xml_tag.h"

namespace ks {
namespace {

bool IsNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

[[noreturn]] void ThrowEndOfText(std::string_view where) {
  throw EqrxTagParseException("Unexpected end of text " + std::string(where));
}

// Advances to the next "<" or to the end of the text.
void SeekTag(TqrxText& cur) {
  while (!cur.AtEnd() && cur.Peek() != '<') cur.Advance();
}

// Skips to a name start ("/", ">", "?" or a letter or digit) and takes the run of ASCII
// letters and digits there; the run is empty when the skip stopped elsewhere.
std::string ReadName(TqrxText& cur) {
  while (!cur.AtEnd()) {
    const char c = cur.Peek();
    if (c == '/' || c == '>' || c == '?' || IsNameChar(c)) break;
    cur.Advance();
  }
  std::string name;
  while (!cur.AtEnd() && IsNameChar(cur.Peek())) {
    name += cur.Peek();
    cur.Advance();
  }
  return name;
}

// Skips to the next quote (double or single) and reads the quoted text; a doubled quote
// inside stands for one.
std::string ReadValue(TqrxText& cur) {
  while (!cur.AtEnd() && cur.Peek() != '"' && cur.Peek() != '\'') cur.Advance();
  if (cur.AtEnd()) ThrowEndOfText("where an attribute value was expected");
  const char quote = cur.Peek();
  cur.Advance();
  std::string value;
  while (true) {
    if (cur.AtEnd()) ThrowEndOfText("inside a quoted attribute value");
    const char c = cur.Peek();
    cur.Advance();
    if (c == quote) {
      if (cur.AtEnd() || cur.Peek() != quote) break;
      cur.Advance();
    }
    value += c;
  }
  return value;
}

void ReadAttrs(TqrxText& cur, TqrxTag& tag) {
  for (std::string name = ReadName(cur); !name.empty(); name = ReadName(cur)) {
    const std::string value = ReadValue(cur);
    tag.SetAttr(name, value);
  }
}

// Passes the end of a start tag; true when content follows (">"), false after "/>", "?>"
// or "]]>".
bool ReadTagEnd(TqrxText& cur) {
  while (!cur.AtEnd()) {
    const char c = cur.Peek();
    if (c == '/' || c == '>' || c == '?' || c == ']') break;
    cur.Advance();
  }
  if (cur.AtEnd()) ThrowEndOfText("inside a tag");
  if (cur.StartsWith("]]>")) {
    cur.Advance(3);
    return false;
  }
  if (cur.Peek() == '>') {
    cur.Advance();
    return true;
  }
  if (cur.Remaining() < 2) ThrowEndOfText("inside a tag");
  cur.Advance(2);
  return false;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The body up to "]]>", trimmed and split into lines; the cursor stays on "]]>".
void ReadCData(TqrxText& cur, TqrxCDataTag& tag) {
  const std::string_view text = cur.Text();
  const size_t end = text.find("]]>", cur.Position());
  if (end == std::string_view::npos) ThrowEndOfText("inside a CDATA section");
  std::string_view body = text.substr(cur.Position(), end - cur.Position());
  while (!body.empty() && IsBlankOrControl(body.front())) body.remove_prefix(1);
  while (!body.empty() && IsBlankOrControl(body.back())) body.remove_suffix(1);
  cur.MoveTo(end);

  std::vector<std::string>& lines = tag.Lines();
  lines.clear();
  size_t start = 0;
  while (start < body.size()) {
    size_t stop = body.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = body.size();
    lines.emplace_back(body.substr(start, stop - start));
    if (stop + 1 < body.size() && body[stop] == '\r' && body[stop + 1] == '\n') ++stop;
    start = stop + 1;
  }
}

// A comment runs to the next "-->".
void SkipComment(TqrxText& cur) {
  const size_t end = cur.Text().find("-->", cur.Position());
  if (end == std::string_view::npos) ThrowEndOfText("inside a comment");
  cur.MoveTo(end + 3);
}

enum class TagKind { kElement, kInstruction, kComment, kCData };

// Parses one tag with all its content and appends it to parent; none at the end of the text
// or at a closing tag.
TqrxTag* ReadTag(TqrxText& cur, TqrxNode& parent, int depth) {
  SeekTag(cur);
  if (cur.AtEnd()) return nullptr;
  cur.Advance();  // "<"
  if (cur.AtEnd()) ThrowEndOfText("after \"<\"");

  TagKind kind;
  std::string name;
  const char c = cur.Peek();
  if (IsNameChar(c)) {
    kind = TagKind::kElement;
    name = ReadName(cur);
  } else if (c == '/') {
    // The rest of the closing tag is passed over by the next seek.
    cur.Advance(2);
    return nullptr;
  } else if (c == '?') {
    cur.Advance();
    kind = TagKind::kInstruction;
    name = ReadName(cur);
  } else if (c == '!') {
    cur.Advance();
    if (cur.StartsWith("--")) {
      cur.Advance(2);
      kind = TagKind::kComment;
    } else if (cur.StartsWith("[CDATA[")) {
      cur.Advance(7);
      kind = TagKind::kCData;
    } else {
      throw EqrxUnknownTagType("Unknown tag type");
    }
  } else {
    throw EqrxUnknownTagType("Unknown tag type");
  }

  std::unique_ptr<TqrxTag> created;
  switch (kind) {
    case TagKind::kElement: created = FindTagClass(name)(); break;
    case TagKind::kInstruction: created = std::make_unique<TqrxInstructionTag>(); break;
    case TagKind::kComment: created = std::make_unique<TqrxCommentTag>(); break;
    case TagKind::kCData: created = std::make_unique<TqrxCDataTag>(); break;
  }
  TqrxTag& tag = parent.AppendChild(std::move(created));

  try {
    if (auto* named = dynamic_cast<TqrxNamedTag*>(&tag)) named->SetName(name);
    if (kind == TagKind::kCData) {
      ReadCData(cur, static_cast<TqrxCDataTag&>(tag));
      ReadTagEnd(cur);
    } else if (kind == TagKind::kComment) {
      SkipComment(cur);
    } else {
      ReadAttrs(cur, tag);
      if (ReadTagEnd(cur)) {
        auto& node = TagCast<TqrxNode>(&tag);
        if (depth >= kMaxTagDepth) {
          throw EqrxTagParseException("Tags nested deeper than " +
                                      std::to_string(kMaxTagDepth) + " levels");
        }
        while (ReadTag(cur, node, depth + 1) != nullptr) {
        }
      }
    }
    tag.Loaded();
  } catch (...) {
    tag.Detach();  // destroys the tag and its partial content
    throw;
  }
  return &tag;
}

}  // namespace

void ParseTags(TqrxNode& receiver, std::string_view text) {
  TqrxText cursor(text);
  while (ReadTag(cursor, receiver, 0) != nullptr) {
  }
}

}  // namespace ks
