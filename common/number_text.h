#pragma once
// Numbers to text and back with "." as the decimal point, whatever locale the process runs
// under: the window program runs under its users' locale, whose decimal separator may be a
// comma, and the files must not change with it. Nothing here consults the C locale.

#include <cstddef>
#include <string>
#include <string_view>

namespace ks {

// Reads a decimal number ("-12.5", "+3", ".5", "1e3", "inf") at the start of text, the way
// strtod reads it in the "C" locale: returns how many characters it used, 0 (and value
// untouched) when text does not start with a number. A value beyond the range of double
// reads as infinity, one too small for it as zero.
size_t ReadDouble(std::string_view text, double& value);

// The whole of text as a number; false when anything is left over or the value is out of
// range (infinity and not-a-number texts are numbers).
bool ParseDouble(std::string_view text, double& value);

// printf's "%.*g" and "%.*f" in the "C" locale.
std::string FormatGeneral(double value, int precision);
std::string FormatFixed(double value, int decimals);

}  // namespace ks
