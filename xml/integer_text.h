#pragma once
// Integers written in attribute texts: a signed 32-bit number, decimal, or hexadecimal after
// a "$" or "x" prefix; leading blanks and a sign are accepted, nothing may follow.

#include <cstdint>
#include <string_view>

namespace ks {

// False when the text is not such an integer (the empty text included) or does not fit.
bool TryParseInteger(std::string_view text, int32_t& out);

// The integer rule of the metadata: anything that is not a valid integer gives 0.
int32_t IntegerOrZero(std::string_view text);

}  // namespace ks
