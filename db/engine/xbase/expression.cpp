#include "db/engine/xbase/expression.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/codepage.h"
#include "common/number_text.h"

namespace ks::xbase {

enum class Op {
  kConst, kField, kDeleted,
  kStr, kUpper, kLower, kLeft, kRight, kSubstr, kTrim, kDtos, kVal, kIif,
  kNot, kAnd, kOr,
  kEq, kNe, kLt, kGt, kLe, kGe, kContains,
  kAdd, kSub, kMul, kDiv, kNeg,
};

struct Expression::Node {
  Op op = Op::kConst;
  char type = 'L';
  int len = 1;
  Value constant;
  const FieldDef* field = nullptr;
  int a = 0, b = 0;  // constant integer arguments (Str width/decimals, Left count, Substr)
  std::vector<std::unique_ptr<Node>> args;
};

using Node = Expression::Node;

// ---- dates and numbers -----------------------------------------------------------------

double DateToJulian(std::string_view s) {
  if (s.size() < 8) return 0;
  int y = 0, m = 0, d = 0;
  for (int i = 0; i < 8; ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
  }
  y = (s[0] - '0') * 1000 + (s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0');
  m = (s[4] - '0') * 10 + (s[5] - '0');
  d = (s[6] - '0') * 10 + (s[7] - '0');
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) return 0;
  // Gregorian calendar to Julian day number.
  const int a = (14 - m) / 12;
  const long yy = y + 4800 - a;
  const long mm = m + 12 * a - 3;
  return double(d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045);
}

std::string JulianToDate(double julian) {
  // Before 0001-01-01, after 9999-12-31, blank or not a number at all.
  if (!(julian >= 1721426 && julian <= 5373484)) return std::string(8, ' ');
  long j = long(julian);
  long a = j + 32044;
  long b = (4 * a + 3) / 146097;
  long c = a - 146097 * b / 4;
  long d = (4 * c + 3) / 1461;
  long e = c - 1461 * d / 4;
  long m = (5 * e + 2) / 153;
  int day = int(e - (153 * m + 2) / 5 + 1);
  int month = int(m + 3 - 12 * (m / 10));
  long year = 100 * b + d - 4800 + m / 10;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04ld%02d%02d", year, month, day);
  return buf;
}

namespace {

// Str of a whole number without decimals, right-aligned in width characters (asterisks
// when it does not fit); false for values the general formatter must handle.
bool FormatWholeNumber(double value, int width, char* out) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e15) return false;
  const long long n = static_cast<long long>(std::round(value));
  const bool negative = n < 0;
  unsigned long long u = negative ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  char digits[24];
  int len = 0;
  do {
    digits[len++] = char('0' + u % 10);
    u /= 10;
  } while (u > 0);
  if (negative) digits[len++] = '-';
  if (len > width) {
    std::memset(out, '*', size_t(width));
    return true;
  }
  std::memset(out, ' ', size_t(width - len));
  for (int i = 0; i < len; ++i) out[width - 1 - i] = digits[i];
  return true;
}

}  // namespace

std::string FormatNumber(double value, int width, int dec) {
  if (width <= 0) return {};
  if (dec <= 0) {
    // Whole numbers, the usual case of keys: no need for the general formatter.
    std::string out(size_t(width), ' ');
    if (FormatWholeNumber(value, width, out.data())) return out;
  }
  if (dec < 0) dec = 0;
  if (!std::isfinite(value) || std::fabs(value) >= 1e300) return std::string(width, '*');
  // Halves round away from zero, as dBASE does (printf would round 2.5 to 2).
  const double scale = std::pow(10.0, dec);
  if (std::fabs(value) * scale < 1e15) value = std::round(value * scale) / scale;
  const std::string digits = ks::FormatFixed(value, dec);
  if (digits.empty() || static_cast<int>(digits.size()) > width) return std::string(width, '*');
  std::string out = std::string(size_t(width) - digits.size(), ' ') + digits;
  if (out.size() >= 2 && out.find_first_not_of(" -0.") == std::string::npos && out.find('-') != std::string::npos) {
    out[out.find('-')] = ' ';  // no "-0"
  }
  return out;
}

double ParseNumber(const char* text, size_t len) {
  // Fast path: blanks, an optional sign and digits only.
  size_t i = 0;
  while (i < len && text[i] == ' ') ++i;
  bool negative = false;
  if (i < len && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long whole = 0;
  size_t digits = 0;
  while (i < len && text[i] >= '0' && text[i] <= '9' && digits < 18) {
    whole = whole * 10 + (text[i++] - '0');
    ++digits;
  }
  size_t rest = i;
  while (rest < len && text[rest] == ' ') ++rest;
  if (rest == len) return negative ? -double(whole) : double(whole);

  char buf[64];
  size_t n = 0;
  for (size_t i = 0; i < len && n + 1 < sizeof buf; ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\0') continue;
    buf[n++] = c == ',' ? '.' : c;
  }
  if (n == 0) return 0;
  double v = 0;
  return ks::ReadDouble(std::string_view(buf, n), v) == 0 ? 0 : v;
}

// ---- the parser ------------------------------------------------------------------------

namespace {

// Expressions are read by ASCII rules, whatever the process locale says about other bytes.
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields) : s_(text), fields_(fields) {}

  std::unique_ptr<Node> ParseAll() {
    auto node = ParseOr();
    SkipBlanks();
    if (node && pos_ != s_.size()) return Fail("unexpected text at " + std::to_string(pos_ + 1));
    if (!error_.empty()) return nullptr;
    return node;
  }
  const std::string& Error() const { return error_; }

 private:
  std::unique_ptr<Node> Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return nullptr;
  }
  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool Peek(std::string_view word) {
    SkipBlanks();
    if (s_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (UpperAscii(s_[pos_ + i]) != word[i]) return false;
    }
    return true;
  }
  bool Accept(std::string_view word) {
    if (!Peek(word)) return false;
    pos_ += word.size();
    return true;
  }

  std::unique_ptr<Node> Make(Op op, char type, int len) {
    // Evaluation recurses over the tree: keep it small enough for any stack.
    if (++nodes_ > 2000) Fail("expression too long");
    auto n = std::make_unique<Node>();
    n->op = op;
    n->type = type;
    n->len = len;
    return n;
  }
  std::unique_ptr<Node> Binary(Op op, char type, int len, std::unique_ptr<Node> l, std::unique_ptr<Node> r) {
    auto n = Make(op, type, len);
    n->args.push_back(std::move(l));
    n->args.push_back(std::move(r));
    return n;
  }

  std::unique_ptr<Node> ParseOr() { return ParseLogicalChain(".OR.", Op::kOr, &Parser::ParseAnd); }
  std::unique_ptr<Node> ParseAnd() { return ParseLogicalChain(".AND.", Op::kAnd, &Parser::ParseNot); }
  // operand token operand token ...: a left-associative chain of a logical operator.
  std::unique_ptr<Node> ParseLogicalChain(const std::string& token, Op op, std::unique_ptr<Node> (Parser::*operand)()) {
    auto left = (this->*operand)();
    while (left && Accept(token)) {
      auto right = (this->*operand)();
      if (!right) return nullptr;
      if (left->type != 'L' || right->type != 'L') return Fail(token + " needs logical operands");
      left = Binary(op, 'L', 1, std::move(left), std::move(right));
    }
    return left;
  }
  std::unique_ptr<Node> ParseNot() {
    if (++depth_ > 200) return Fail("expression nested too deeply");
    std::unique_ptr<Node> result;
    if (Accept(".NOT.") || (Peek("!") && !Peek("!=") && Accept("!"))) {
      auto operand = ParseNot();
      if (operand) {
        if (operand->type != 'L') {
          result = Fail(".NOT. needs a logical operand");
        } else {
          result = Make(Op::kNot, 'L', 1);
          result->args.push_back(std::move(operand));
        }
      }
    } else {
      result = ParseCompare();
    }
    --depth_;
    return result;
  }
  std::unique_ptr<Node> ParseCompare() {
    auto left = ParseAdd();
    if (!left) return nullptr;
    Op op;
    if (Accept("<>") || Accept("!=") || Accept("#")) op = Op::kNe;
    else if (Accept("<=")) op = Op::kLe;
    else if (Accept(">=")) op = Op::kGe;
    else if (Accept("==") || Accept("=")) op = Op::kEq;
    else if (Accept("<")) op = Op::kLt;
    else if (Accept(">")) op = Op::kGt;
    else if (Accept("$")) op = Op::kContains;
    else return left;
    auto right = ParseAdd();
    if (!right) return nullptr;
    if (left->type != right->type) return Fail("comparison of different types");
    if (op == Op::kContains && left->type != 'C') return Fail("$ needs text operands");
    if (left->type == 'L' && op != Op::kEq && op != Op::kNe) return Fail("logical values only compare for equality");
    return Binary(op, 'L', 1, std::move(left), std::move(right));
  }
  std::unique_ptr<Node> ParseAdd() {
    auto left = ParseMul();
    while (left) {
      Op op;
      if (Accept("+")) op = Op::kAdd;
      else if (Accept("-")) op = Op::kSub;
      else break;
      auto right = ParseMul();
      if (!right) return nullptr;
      char type;
      int len;
      if (left->type == 'C' && right->type == 'C') {
        type = 'C';
        len = left->len + right->len;
      } else if (left->type == 'N' && right->type == 'N') {
        type = 'N';
        len = std::max(left->len, right->len);
      } else if (left->type == 'D' && right->type == 'N') {
        type = 'D';
        len = 8;
      } else if (op == Op::kSub && left->type == 'D' && right->type == 'D') {
        type = 'N';
        len = 8;
      } else {
        return Fail("+ or - of incompatible types");
      }
      left = Binary(op, type, len, std::move(left), std::move(right));
    }
    return left;
  }
  std::unique_ptr<Node> ParseMul() {
    auto left = ParseUnary();
    while (left) {
      Op op;
      if (Accept("*")) op = Op::kMul;
      else if (Accept("/")) op = Op::kDiv;
      else break;
      auto right = ParseUnary();
      if (!right) return nullptr;
      if (left->type != 'N' || right->type != 'N') return Fail("* or / needs numbers");
      left = Binary(op, 'N', std::max(left->len, right->len), std::move(left), std::move(right));
    }
    return left;
  }
  std::unique_ptr<Node> ParseUnary() {
    if (Accept("-")) {
      if (++depth_ > 200) return Fail("expression nested too deeply");
      auto operand = ParseUnary();
      --depth_;
      if (!operand) return nullptr;
      if (operand->type != 'N') return Fail("- needs a number");
      auto n = Make(Op::kNeg, 'N', operand->len);
      n->args.push_back(std::move(operand));
      return n;
    }
    if (Accept("+")) return ParseUnary();
    return ParsePrimary();
  }

  std::unique_ptr<Node> ParsePrimary() {
    SkipBlanks();
    if (pos_ >= s_.size()) return Fail("unexpected end of expression");
    const char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      if (++depth_ > 200) return Fail("expression nested too deeply");
      auto inner = ParseOr();
      --depth_;
      if (!inner) return nullptr;
      if (!Accept(")")) return Fail("missing )");
      return inner;
    }
    if (c == '\'' || c == '"') {
      const size_t end = s_.find(c, pos_ + 1);
      if (end == std::string_view::npos) return Fail("unterminated text");
      auto n = Make(Op::kConst, 'C', int(end - pos_ - 1));
      n->constant.type = 'C';
      n->constant.text = std::string(s_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return n;
    }
    if (IsDigit(c) || (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]))) {
      size_t end = pos_;
      // A point belongs to the number only when a digit follows (7.AND. is 7 and .AND.).
      while (end < s_.size() && (IsDigit(s_[end]) ||
                                 (s_[end] == '.' && end + 1 < s_.size() &&
                                  IsDigit(s_[end + 1])))) {
        ++end;
      }
      const std::string digits(s_.substr(pos_, end - pos_));
      pos_ = end;
      auto n = Make(Op::kConst, 'N', std::max<int>(int(digits.size()), 10));
      n->constant.type = 'N';
      ks::ReadDouble(digits, n->constant.number);
      return n;
    }
    if (Accept(".T.") || Accept(".Y.")) return Logical(true);
    if (Accept(".F.") || Accept(".N.")) return Logical(false);
    if (IsLetter(c) || c == '_') {
      size_t end = pos_;
      while (end < s_.size() && ((IsLetter(s_[end]) || IsDigit(s_[end])) || s_[end] == '_')) ++end;
      const std::string name = UpperAscii(s_.substr(pos_, end - pos_));
      pos_ = end;
      if (Accept("(")) return ParseCall(name);
      std::string field_name = name;
      if (field_name.size() > 10) field_name.resize(10);
      for (const FieldDef& f : fields_) {
        if (f.name == field_name) {
          const char type = f.type == 'F' ? 'N' : f.type == 'M' ? 'C' : f.type;
          auto n = Make(Op::kField, type, type == 'D' ? 8 : f.len);
          n->field = &f;
          return n;
        }
      }
      return Fail("unknown field " + name);
    }
    return Fail(std::string("unexpected character '") + c + "'");
  }

  std::unique_ptr<Node> Logical(bool value) {
    auto n = Make(Op::kConst, 'L', 1);
    n->constant.type = 'L';
    n->constant.logical = value;
    return n;
  }

  // A constant integer argument (Str widths, Left counts): folded at parse time.
  bool ConstInt(const Node& n, int* out) {
    if (n.op != Op::kConst || n.type != 'N') return false;
    *out = int(n.constant.number);
    return true;
  }

  std::unique_ptr<Node> ParseCall(const std::string& name) {
    std::vector<std::unique_ptr<Node>> args;
    if (!Accept(")")) {
      do {
        if (++depth_ > 200) return Fail("expression nested too deeply");
        auto arg = ParseOr();
        --depth_;
        if (!arg) return nullptr;
        args.push_back(std::move(arg));
      } while (Accept(","));
      if (!Accept(")")) return Fail("missing ) after the arguments of " + name);
    }
    auto want = [&](size_t lo, size_t hi) { return args.size() >= lo && args.size() <= hi; };
    std::unique_ptr<Node> n;
    if (name == "DELETED" && want(0, 0)) {
      n = Make(Op::kDeleted, 'L', 1);
    } else if (name == "STR" && want(1, 3) && args[0]->type == 'N') {
      int width = 10, dec = 0;
      if (args.size() >= 2 && !ConstInt(*args[1], &width)) return Fail("STR needs a constant width");
      if (args.size() >= 3 && !ConstInt(*args[2], &dec)) return Fail("STR needs constant decimals");
      if (width < 1 || width > 255 || dec < 0 || dec >= width) return Fail("STR width out of range");
      n = Make(Op::kStr, 'C', width);
      n->a = width;
      n->b = dec;
      args.resize(1);
    } else if ((name == "UPPER" || name == "LOWER") && want(1, 1) && args[0]->type == 'C') {
      n = Make(name == "UPPER" ? Op::kUpper : Op::kLower, 'C', args[0]->len);
    } else if ((name == "LEFT" || name == "RIGHT") && want(2, 2) && args[0]->type == 'C') {
      int count = 0;
      if (!ConstInt(*args[1], &count) || count < 0) return Fail(name + " needs a constant count");
      n = Make(name == "LEFT" ? Op::kLeft : Op::kRight, 'C', std::min(count, args[0]->len));
      n->a = std::min(count, args[0]->len);
      args.resize(1);
    } else if ((name == "SUBSTR" || name == "SUBS") && want(2, 3) && args[0]->type == 'C') {
      int start = 1, count = args[0]->len;
      if (!ConstInt(*args[1], &start) || start < 1) return Fail("SUBSTR needs a constant start");
      if (args.size() == 3 && (!ConstInt(*args[2], &count) || count < 0)) return Fail("SUBSTR needs a constant length");
      count = std::max(0, std::min(count, args[0]->len - start + 1));
      n = Make(Op::kSubstr, 'C', count);
      n->a = start;
      n->b = count;
      args.resize(1);
    } else if ((name == "TRIM" || name == "RTRIM" || name == "LTRIM" || name == "ALLTRIM") && want(1, 1) && args[0]->type == 'C') {
      n = Make(Op::kTrim, 'C', args[0]->len);
      n->a = name == "LTRIM" ? 1 : name == "ALLTRIM" ? 2 : 0;
    } else if (name == "DTOS" && want(1, 1) && args[0]->type == 'D') {
      n = Make(Op::kDtos, 'C', 8);
    } else if (name == "VAL" && want(1, 1) && args[0]->type == 'C') {
      n = Make(Op::kVal, 'N', 20);
    } else if (name == "IIF" && want(3, 3) && args[0]->type == 'L' && args[1]->type == args[2]->type) {
      n = Make(Op::kIif, args[1]->type, std::max(args[1]->len, args[2]->len));
    } else {
      return Fail("unknown function or wrong arguments: " + name);
    }
    n->args = std::move(args);
    return n;
  }

  std::string_view s_;
  const std::vector<FieldDef>& fields_;
  size_t pos_ = 0;
  int depth_ = 0;
  int nodes_ = 0;
  std::string error_;
};

// ---- evaluation ------------------------------------------------------------------------

void PadTo(std::string& s, int len) {
  if (int(s.size()) < len) s.append(len - s.size(), ' ');
  else if (int(s.size()) > len) s.resize(len);
}

int CompareText(const std::string& a, const std::string& b) {
  // Blank-padded comparison in plain byte order.
  const size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char ca = i < a.size() ? a[i] : ' ';
    const unsigned char cb = i < b.size() ? b[i] : ' ';
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

Value Eval(const Node& n, const char* rec);

Value Text(std::string s) {
  Value v;
  v.type = 'C';
  v.text = std::move(s);
  return v;
}
Value Number(double d, char type = 'N') {
  Value v;
  v.type = type;
  v.number = d;
  return v;
}
Value Bool(bool b) {
  Value v;
  v.type = 'L';
  v.logical = b;
  return v;
}

Value EvalField(const Node& n, const char* rec) {
  const FieldDef& f = *n.field;
  const char* p = rec + f.offset;
  switch (n.type) {
    case 'C': return Text(std::string(p, f.len));
    case 'N': return Number(ParseNumber(p, f.len));
    case 'D': return Number(DateToJulian(std::string_view(p, 8)), 'D');
    case 'L': return Bool(*p == 'T' || *p == 't' || *p == 'Y' || *p == 'y');
  }
  return Value{};
}

Value Compare(const Node& n, const char* rec) {
  const Value l = Eval(*n.args[0], rec);
  const Value r = Eval(*n.args[1], rec);
  int cmp = 0;
  if (l.type == 'C') {
    if (n.op == Op::kContains) return Bool(r.text.find(l.text) != std::string::npos);
    if (n.op == Op::kEq || n.op == Op::kNe) {
      // Inexact equality: the left side is compared over the length of the right side.
      std::string left = l.text;
      if (left.size() > r.text.size()) left.resize(r.text.size());
      cmp = CompareText(left, r.text);
    } else {
      cmp = CompareText(l.text, r.text);
    }
  } else if (l.type == 'L') {
    cmp = l.logical == r.logical ? 0 : 1;
  } else {
    cmp = l.number < r.number ? -1 : l.number > r.number ? 1 : 0;
  }
  switch (n.op) {
    case Op::kEq: return Bool(cmp == 0);
    case Op::kNe: return Bool(cmp != 0);
    case Op::kLt: return Bool(cmp < 0);
    case Op::kGt: return Bool(cmp > 0);
    case Op::kLe: return Bool(cmp <= 0);
    case Op::kGe: return Bool(cmp >= 0);
    default: return Bool(false);
  }
}

Value Eval(const Node& n, const char* rec) {
  switch (n.op) {
    case Op::kConst: return n.constant;
    case Op::kField: return EvalField(n, rec);
    case Op::kDeleted: return Bool(rec[0] == '*');
    case Op::kStr: return Text(FormatNumber(Eval(*n.args[0], rec).number, n.a, n.b));
    case Op::kUpper: {
      Value v = Eval(*n.args[0], rec);
      for (char& c : v.text) c = UpperCp1251(c);
      return v;
    }
    case Op::kLower: {
      Value v = Eval(*n.args[0], rec);
      for (char& c : v.text) c = LowerCp1251(c);
      return v;
    }
    case Op::kLeft: {
      Value v = Eval(*n.args[0], rec);
      if (int(v.text.size()) > n.a) v.text.resize(n.a);
      return v;
    }
    case Op::kRight: {
      Value v = Eval(*n.args[0], rec);
      if (int(v.text.size()) > n.a) v.text.erase(0, v.text.size() - n.a);
      return v;
    }
    case Op::kSubstr: {
      Value v = Eval(*n.args[0], rec);
      const size_t start = size_t(n.a - 1);
      v.text = start < v.text.size() ? v.text.substr(start, n.b) : std::string();
      return v;
    }
    case Op::kTrim: {
      Value v = Eval(*n.args[0], rec);
      if (n.a != 1) {
        const size_t end = v.text.find_last_not_of(' ');
        v.text.resize(end == std::string::npos ? 0 : end + 1);
      }
      if (n.a != 0) v.text.erase(0, std::min(v.text.size(), v.text.find_first_not_of(' ')));
      return v;
    }
    case Op::kDtos: return Text(JulianToDate(Eval(*n.args[0], rec).number));
    case Op::kVal: {
      const Value v = Eval(*n.args[0], rec);
      return Number(ParseNumber(v.text.data(), v.text.size()));
    }
    case Op::kIif: {
      Value v = Eval(*n.args[Eval(*n.args[0], rec).logical ? 1 : 2], rec);
      if (v.type == 'C') PadTo(v.text, n.len);
      return v;
    }
    case Op::kNot: return Bool(!Eval(*n.args[0], rec).logical);
    case Op::kAnd: return Bool(Eval(*n.args[0], rec).logical && Eval(*n.args[1], rec).logical);
    case Op::kOr: return Bool(Eval(*n.args[0], rec).logical || Eval(*n.args[1], rec).logical);
    case Op::kEq: case Op::kNe: case Op::kLt: case Op::kGt: case Op::kLe: case Op::kGe: case Op::kContains:
      return Compare(n, rec);
    case Op::kAdd: case Op::kSub: {
      Value l = Eval(*n.args[0], rec);
      const Value r = Eval(*n.args[1], rec);
      if (n.type == 'C') {
        l.text += r.text;  // both sides are already padded to their widths
        return l;
      }
      const double value = n.op == Op::kAdd ? l.number + r.number : l.number - r.number;
      if (n.type == 'D' && l.number == 0) return Number(0, 'D');
      return Number(value, n.type);
    }
    case Op::kMul: return Number(Eval(*n.args[0], rec).number * Eval(*n.args[1], rec).number);
    case Op::kDiv: {
      const double d = Eval(*n.args[1], rec).number;
      return Number(d == 0 ? 0 : Eval(*n.args[0], rec).number / d);
    }
    case Op::kNeg: return Number(-Eval(*n.args[0], rec).number);
  }
  return Value{};
}

// The length of a whole number written plainly at the end of a field: blanks, then an
// optional minus and up to fifteen digits without a leading zero ("0" alone, not "-0").
// Such a text is its own Str; 0 for any other text.
size_t PlainWholeNumber(const char* p, size_t len) {
  size_t i = 0;
  while (i < len && p[i] == ' ') ++i;
  const size_t start = i;
  if (i < len && p[i] == '-') ++i;
  const size_t digits = len - i;
  if (digits == 0 || digits > 15) return 0;
  for (size_t k = i; k < len; ++k) {
    if (p[k] < '0' || p[k] > '9') return 0;
  }
  if (p[i] == '0' && (digits > 1 || i > start)) return 0;
  return len - start;
}

// Writes the text of a text node into out, as Eval's text would read, and returns its
// length; kNoRoom when more than room bytes would be needed. Key expressions are chains
// of Str, Upper, Left, Dtos and fields, built here in place instead of in strings.
constexpr size_t kNoRoom = size_t(-1);

size_t EmitText(const Node& n, const char* rec, char* out, size_t room) {
  switch (n.op) {
    case Op::kField:
      if (n.type != 'C') break;
      if (size_t(n.field->len) > room) return kNoRoom;
      std::memcpy(out, rec + n.field->offset, size_t(n.field->len));
      return size_t(n.field->len);
    case Op::kStr: {
      if (n.b != 0 || size_t(n.a) > room) break;
      // Str of a number field, the usual key, takes the field's digits as they stand when
      // they are written plainly (blanks, a minus, digits without a leading zero).
      const Node& arg = *n.args[0];
      if (arg.op == Op::kField && arg.type == 'N') {
        if (const size_t len = PlainWholeNumber(rec + arg.field->offset, size_t(arg.field->len));
            len != 0 && len <= size_t(n.a)) {
          std::memset(out, ' ', size_t(n.a) - len);
          std::memcpy(out + size_t(n.a) - len, rec + arg.field->offset + arg.field->len - len, len);
          return size_t(n.a);
        }
      }
      const double value = arg.op == Op::kField && arg.type == 'N' ? ParseNumber(rec + arg.field->offset, size_t(arg.field->len))
                                                                    : Eval(arg, rec).number;
      if (!FormatWholeNumber(value, n.a, out)) break;
      return size_t(n.a);
    }
    case Op::kUpper: {
      const size_t len = EmitText(*n.args[0], rec, out, room);
      if (len == kNoRoom) return kNoRoom;
      for (size_t i = 0; i < len; ++i) out[i] = UpperCp1251(out[i]);
      return len;
    }
    case Op::kLeft: {
      const size_t len = EmitText(*n.args[0], rec, out, room);
      return len == kNoRoom ? kNoRoom : std::min(len, size_t(n.a));
    }
    case Op::kAdd: {
      if (n.type != 'C') break;
      const size_t left = EmitText(*n.args[0], rec, out, room);
      if (left == kNoRoom) return kNoRoom;
      const size_t right = EmitText(*n.args[1], rec, out + left, room - left);
      return right == kNoRoom ? kNoRoom : left + right;
    }
    default:
      break;
  }
  const Value v = Eval(n, rec);
  if (v.text.size() > room) return kNoRoom;
  std::memcpy(out, v.text.data(), v.text.size());
  return v.text.size();
}

}  // namespace

Expression::~Expression() = default;

std::unique_ptr<Expression> Expression::Parse(std::string_view text, const std::vector<FieldDef>& fields,
                                              std::string* error) {
  Parser parser(text, fields);
  auto root = parser.ParseAll();
  if (!root) {
    if (error) *error = parser.Error().empty() ? "invalid expression" : parser.Error();
    return nullptr;
  }
  std::unique_ptr<Expression> expr(new Expression());
  expr->root_ = std::move(root);
  expr->text_ = std::string(text);
  return expr;
}

char Expression::Type() const { return root_->type; }

int Expression::Length() const {
  switch (root_->type) {
    case 'D': return 8;
    case 'L': return 1;
    default: return root_->len;
  }
}

Value Expression::Evaluate(const char* record) const {
  Value v = Eval(*root_, record);
  if (v.type == 'C') PadTo(v.text, root_->len);
  return v;
}

void Expression::EvaluateText(const char* record, uint8_t* out, size_t out_len) const {
  char text[1024];
  size_t n = root_->type == 'C' ? EmitText(*root_, record, text, sizeof text) : kNoRoom;
  if (n == kNoRoom) {
    const Value v = Evaluate(record);
    n = std::min(out_len, v.text.size());
    std::memcpy(out, v.text.data(), n);
    std::memset(out + n, ' ', out_len - n);
    return;
  }
  // As Evaluate: padded or cut to the expression's width; then to out_len.
  n = std::min({n, size_t(root_->len), out_len});
  std::memcpy(out, text, n);
  std::memset(out + n, ' ', out_len - n);
}

}  // namespace ks::xbase
