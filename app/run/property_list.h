#pragma once
// The typed property list of a document (the memo FCOMPLEX): one KEY=value line per
// property, lines joined by CR LF, every value led by a letter that gives its kind.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/date_time.h"

namespace ks {

// "C" + the text with CR as byte 1 and LF as byte 2, so a value never breaks its line.
std::string EncodeString(std::string_view text);
// "F" + the 64 bits of the double as 16 upper-case hex digits, most significant first.
std::string EncodeFloat(double value);
// "D" + the day count (days since 1899-12-30) in the form of EncodeFloat.
std::string EncodeDateTime(DateTime value);
// "BT" or "BF".
std::string EncodeBoolean(bool value);

// The value of the first run of decimal digits in the text; 0 when there is none, and 0
// when the run does not fit a 32-bit integer (then *overflow, when given, is set).
int32_t ExtractNumber(std::string_view text, bool* overflow = nullptr);

// Collects the lines of one property list.
class PropertyList {
 public:
  PropertyList& Add(std::string_view key, std::string_view encoded_value);
  // The lines joined by CR LF, without a separator after the last.
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace ks
