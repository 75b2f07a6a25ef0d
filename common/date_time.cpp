#include "common/date_time.h"

#include <cmath>
#include <ctime>

#include "common/platform.h"

namespace ks {
namespace {

// The day number of 30 December 1899, where the date values start, counting 1 January of
// the year 1 as day 1.
constexpr int32_t kOrdinalOf30Dec1899 = 693594;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

int32_t OrdinalFromCivil(int year, int month, int day) {
  const int y = year - 1;
  int32_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, DateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  out.value = OrdinalFromCivil(year, month, day) - kOrdinalOf30Dec1899;
  return true;
}

int32_t DateToOrdinal(DateTime date) {
  // A value no day count reaches (not a number, or far past any calendar) has no day.
  if (!(std::fabs(date.value) < 1e9)) return 0;
  return static_cast<int32_t>(std::floor(date.value)) + kOrdinalOf30Dec1899;
}

DateTime OrdinalToDate(int32_t ordinal) { return DateTime{double(int64_t{ordinal} - kOrdinalOf30Dec1899)}; }

void DecodeDate(DateTime date, int& year, int& month, int& day) {
  int32_t ordinal = DateToOrdinal(date);
  if (ordinal < 1) {
    year = month = day = 0;
    return;
  }
  // Walk 400-year cycles, then years, then months: plain and obviously right.
  int32_t n = ordinal - 1;
  year = 1 + 400 * (n / 146097);
  n %= 146097;
  while (true) {
    const int len = IsLeap(year) ? 366 : 365;
    if (n < len) break;
    n -= len;
    ++year;
  }
  month = 1;
  while (n >= DaysInMonth(year, month)) {
    n -= DaysInMonth(year, month);
    ++month;
  }
  day = n + 1;
}

DateTime Today() {
  const std::tm local = LocalTime(std::time(nullptr));
  DateTime out;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, out);
  return out;
}

}  // namespace ks
