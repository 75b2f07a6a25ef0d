#pragma once
// Writes Paradox tables with the independent library pxlib, so that our reader is checked
// against files it did not write itself, and reads non-blob values back with pxlib.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ks::testing {

struct PxColumn {
  std::string name;
  char type;  // the type code: 0x01 alpha, 0x04 long, 0x0C memo, ...
  int size;   // bytes; decimals for BCD
};

// A value to store: blank, an integer (short, long, autoincrement, date ordinal, time in
// ms, logical 0/1), a double (number, money, timestamp in ms), or bytes (alpha, bytes,
// memo, BCD text).
using PxValue = std::variant<std::monostate, int64_t, double, std::string>;

// Writes db_path (and mb_path when not empty, for memo values); throws
// std::runtime_error when pxlib refuses.
void WritePxTable(const std::string& db_path, const std::string& mb_path, const std::vector<PxColumn>& columns,
                  const std::vector<std::vector<PxValue>>& rows, bool keyed = false);

// Reads the table with pxlib (without a blob file): every value of every record, as
// pxlib decodes it; blank values as std::monostate, memo and blob fields skipped.
std::vector<std::vector<PxValue>> ReadPxTable(const std::string& db_path);

}  // namespace ks::testing
