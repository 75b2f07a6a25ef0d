#pragma once
// A small JSON reader for the reference files of the tests: objects keep their key order,
// numbers are doubles, strings are UTF-8. Throws std::runtime_error on malformed text.

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ks::testing {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  bool IsNull() const { return kind == Kind::kNull; }
  // The member with that key; throws when there is none.
  const JsonValue& operator[](const std::string& key) const;
};

JsonValue ParseJson(const std::string& text);
JsonValue ReadJsonFile(const std::string& path);

}  // namespace ks::testing
