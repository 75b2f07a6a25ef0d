#pragma once
// The fixed text forms that dBASE fields hold, and the expression behind a locate by field
// values. Nothing here keeps state.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "common/variant.h"

namespace ks {

// Text helpers.
std::string TrimTrailingBlanks(std::string_view s);    // trailing spaces only
std::string RepeatChar(char c, int n);                  // empty when n <= 0
std::string PadLeft(std::string_view s, int width);     // a longer s comes back unchanged
std::string PadRight(std::string_view s, int width);    // cut to width or filled with spaces
std::string BufferToString(const char* data, size_t n); // exactly n bytes, zeros included
// The name from position (1-based) up to the next ';' or the end, less trailing spaces;
// position moves past that ';'.
std::string NextKeyField(std::string_view list, size_t& position);

// The number fields of the tables the engine creates: integers take 11 characters, which
// every 32-bit value fits; floating point numbers 19 characters with 6 decimals.
inline constexpr int kIntegerFieldWidth = 11;
inline constexpr int kFloatFieldWidth = 19;
inline constexpr int kFloatFieldDecimals = 6;

// Field texts.
bool CharToBool(char c);  // T, t, Y, y
char BoolToChar(bool value);
std::string DateToDbf(DateTime date);   // "YYYYMMDD"; "00000000" for the value 0
DateTime DbfToDate(std::string_view s);  // 0 for an empty, zero or impossible date
// Decimal text right-aligned in width characters; a value that does not fit becomes the
// overflow mark (width asterisks), which reads back as no value.
std::string IntToDbf(int32_t value, int width = kIntegerFieldWidth);
// width characters with decimals fraction digits and "." as the point; a value that does
// not fit (or is not a number) becomes the overflow mark.
std::string FloatToDbf(double value, int width = kFloatFieldWidth, int decimals = kFloatFieldDecimals);
// The same texts written straight into a record image: exactly width bytes at out.
void IntToDbf(int32_t value, int width, char* out);
void FloatToDbf(double value, int width, int decimals, char* out);
double DbfToFloat(std::string_view s);  // 0 when unreadable
// True for a field text made only of asterisks: a number that did not fit its field.
bool IsOverflowMark(std::string_view s);

// Text of a key value as a locate expression uses it.
std::string VariantToText(const Variant& value);

// The engine expression that matches records whose key fields hold the given values.
// Options: bit 1 case-insensitive, bit 2 partial last key. field_type gives the type letter
// of a field by name, 0 for a field the table lacks. Empty when the expression cannot be
// built (a missing field, a value list that does not fit the names).
std::string BuildLocateExpr(const std::function<int(const std::string&)>& field_type,
                            int options, std::string_view key_fields,
                            const Variant& key_values);

}  // namespace ks
