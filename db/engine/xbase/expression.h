#pragma once
// Key, filter and locate expressions: a small dBASE expression language evaluated on a
// record image. Types: C (text), N (number), D (date, held as a Julian day number, 0 for a
// blank date) and L (logical).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine/xbase/field_def.h"

namespace ks::xbase {

struct Value {
  char type = 'L';
  std::string text;  // C
  double number = 0; // N, and D as a Julian day number
  bool logical = false;
};

class Expression {
 public:
  struct Node;
  ~Expression();

  // Null with *error set when the text is not a valid expression over these fields.
  static std::unique_ptr<Expression> Parse(std::string_view text, const std::vector<FieldDef>& fields,
                                           std::string* error);

  char Type() const;
  // The width of the result: fixed for C (results are padded to it), 8 for D, 1 for L and
  // the field width (or 20) for N.
  int Length() const;
  const std::string& Text() const { return text_; }

  // record: the record image (deletion flag first) of the fields given to Parse.
  Value Evaluate(const char* record) const;
  // The text Evaluate gives, cut or blank-padded to out_len bytes, built without strings
  // for the usual key shapes (any expression is accepted; a non-text one reads as its
  // Value's text, which is empty).
  void EvaluateText(const char* record, uint8_t* out, size_t out_len) const;

 private:
  Expression() = default;
  std::unique_ptr<Node> root_;
  std::string text_;
};

// Julian day number of a "YYYYMMDD" date, 0 for a blank or invalid one.
double DateToJulian(std::string_view yyyymmdd);
// "YYYYMMDD" of a Julian day number; 8 blanks for 0.
std::string JulianToDate(double julian);
// A number as dBASE writes it in width characters with dec decimals; asterisks when it
// does not fit.
std::string FormatNumber(double value, int width, int dec);
// The number in a field text; 0 for blanks or text that is not a number.
double ParseNumber(const char* text, size_t len);

}  // namespace ks::xbase
