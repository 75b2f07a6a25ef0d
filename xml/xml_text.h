#pragma once
// Small text helpers of the XML layer.

#include <string>
#include <string_view>
#include <vector>

namespace ks {

// Decodes hexadecimal character references: "Str(UID&#x2C; 10)" gives "Str(UID, 10)". The
// digits run from the fourth character after "&" to the next ";", and the code is taken
// modulo 256. Without a ";" the rest of the text is kept as it stands.
std::string DecodeEntities(std::string_view text);

// Hexadecimal digits to a number: each character shifts the result four bits left.
// "0"-"9", "A"-"F" and "a"-"f" are digits; other characters give meaningless values but
// never fail.
int HexToInt(std::string_view text);

// The pieces between the delimiters, empty pieces included ("a//b" gives a, "", b; a text
// without delimiter gives itself).
void SplitString(std::string_view text, std::vector<std::string>& list, char delimiter);

}  // namespace ks
