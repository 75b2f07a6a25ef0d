#pragma once
// The target database as an independent reader sees it: every .dbf of a directory read
// with Debian's python3-dbfread (read_target.py beside this file), for the interop tests.

#include <string>
#include <vector>

#include "legacy/testing/mini_json.h"

namespace ks::testing {

class TargetTables {
 public:
  // Reads the directory; throws std::runtime_error when the reader fails.
  explicit TargetTables(const std::string& dir);

  // Tables by lower-case file name ("doc.dbf").
  bool Has(const std::string& file) const;
  const JsonValue& Table(const std::string& file) const;
  const std::vector<JsonValue>& Records(const std::string& file) const;
  // Every record as Row() gives it.
  std::vector<std::string> Rows(const std::string& file) const;
  std::vector<std::string> Files() const;
  const JsonValue& Root() const { return root_; }
  // Every table with its rows and memo bytes, one line each: two directories hold the same
  // data exactly when their dumps are equal.
  std::string Dump() const;

  // "NAME=value | NAME=value ..." over every field but the memos, in file order. A null
  // value is empty, logicals are T and F, numbers without needless digits, dates
  // YYYY-MM-DD, texts in UTF-8.
  static std::string Row(const JsonValue& table, const JsonValue& record);
  // The stored bytes of a memo (code page 866), empty for none; and its text in UTF-8.
  static std::string MemoBytes(const JsonValue& record, const std::string& field);
  static std::string MemoText(const JsonValue& record, const std::string& field);
  static std::string Value(const JsonValue& value);

 private:
  JsonValue root_;
};

}  // namespace ks::testing
