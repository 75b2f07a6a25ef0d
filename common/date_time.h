#pragma once
// Dates as the data layer holds them: a day count since 30 December 1899, with the time of
// day as the fraction (the form the encoded property lists and the field values use).

#include <cstdint>

namespace ks {

struct DateTime {
  double value = 0;  // days since 1899-12-30; 0 is that day itself
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// False when the triple is not a date of the proleptic Gregorian calendar (years 1..9999).
bool TryEncodeDate(int year, int month, int day, DateTime& out);
void DecodeDate(DateTime date, int& year, int& month, int& day);
// Days since 0001-01-01 (that day is 1): the day number of legacy tables.
int32_t DateToOrdinal(DateTime date);
DateTime OrdinalToDate(int32_t ordinal);
// Today's date at midnight, local time.
DateTime Today();

}  // namespace ks
