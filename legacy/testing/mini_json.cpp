#include "legacy/testing/mini_json.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/codepage.h"
#include "common/number_text.h"

namespace ks::testing {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  JsonValue Document() {
    JsonValue v = Value();
    Space();
    if (p_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("json: ") + what + " at " + std::to_string(p_));
  }
  void Space() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\r' || s_[p_] == '\t')) ++p_;
  }
  bool Eat(char c) {
    Space();
    if (p_ < s_.size() && s_[p_] == c) {
      ++p_;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(p_, word.size(), word) != 0) return false;
    p_ += word.size();
    return true;
  }
  unsigned Hex4() {
    if (p_ + 4 > s_.size()) Fail("short escape");
    const unsigned v = static_cast<unsigned>(std::stoul(s_.substr(p_, 4), nullptr, 16));
    p_ += 4;
    return v;
  }
  std::string String() {
    if (!Eat('"')) Fail("string expected");
    std::string out;
    while (true) {
      if (p_ >= s_.size()) Fail("open string");
      const char c = s_[p_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (p_ >= s_.size()) Fail("open escape");
      const char e = s_[p_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned code = Hex4();
          if (code >= 0xD800 && code < 0xDC00 && Word("\\u")) code = 0x10000 + ((code - 0xD800) << 10) + (Hex4() - 0xDC00);
          AppendUtf8(out, code);
          break;
        }
        default: out += e;
      }
    }
  }
  JsonValue Value() {
    Space();
    JsonValue v;
    if (p_ >= s_.size()) Fail("value expected");
    const char c = s_[p_];
    if (c == '{') {
      ++p_;
      v.kind = JsonValue::Kind::kObject;
      if (Eat('}')) return v;
      do {
        std::string key = String();
        if (!Eat(':')) Fail(": expected");
        v.members.emplace_back(std::move(key), Value());
      } while (Eat(','));
      if (!Eat('}')) Fail("} expected");
    } else if (c == '[') {
      ++p_;
      v.kind = JsonValue::Kind::kArray;
      if (Eat(']')) return v;
      do {
        v.items.push_back(Value());
      } while (Eat(','));
      if (!Eat(']')) Fail("] expected");
    } else if (c == '"') {
      v.kind = JsonValue::Kind::kString;
      v.text = String();
    } else if (Word("null")) {
    } else if (Word("true")) {
      v.kind = JsonValue::Kind::kBool;
      v.boolean = true;
    } else if (Word("false")) {
      v.kind = JsonValue::Kind::kBool;
    } else {
      const size_t used = ReadDouble(std::string_view(s_).substr(p_), v.number);
      if (used == 0) Fail("bad value");
      v.kind = JsonValue::Kind::kNumber;
      p_ += used;
    }
    return v;
  }

  const std::string& s_;
  size_t p_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  for (const auto& [k, v] : members) {
    if (k == key) return v;
  }
  throw std::runtime_error("json: no member " + key);
}

JsonValue ParseJson(const std::string& text) { return Parser(text).Document(); }

JsonValue ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return ParseJson(buffer.str());
}

}  // namespace ks::testing
