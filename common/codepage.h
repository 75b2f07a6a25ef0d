#pragma once
// Code-page conversions. The data layer keeps texts as Windows-1251 bytes, memo texts are
// stored in code page 866, and the window and terminal speak UTF-8.

#include <string>
#include <string_view>

namespace ks {

// UTF-8 to Windows-1251; characters the code page lacks become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
// Windows-1251 to UTF-8; the one unassigned byte (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// The ANSI/OEM pair of the original platform: Windows-1251 to 866 and back. Characters
// without a counterpart become '?' (see the table in codepage.cpp for the exceptions).
std::string AnsiToOem(std::string_view text);
std::string OemToAnsi(std::string_view text);
void AnsiToOemInPlace(char* data, size_t size);
void OemToAnsiInPlace(char* data, size_t size);
// The same, returning how many characters Windows-1251 lacks (box drawing and the like),
// which became '?'.
size_t OemToAnsiInPlaceCountingLosses(char* data, size_t size);

// Upper and lower case of Windows-1251 text: ASCII letters, а-я and ё.
char UpperCp1251(char c);
std::string UpperCp1251(std::string_view text);
char LowerCp1251(char c);
std::string LowerCp1251(std::string_view text);

// Appends the UTF-8 form of one Unicode code point.
void AppendUtf8(std::string& out, char32_t code_point);

// Shorthand for Russian literals of the source, which are UTF-8: W("Россия").
inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

}  // namespace ks
