#pragma once
// A dynamically typed value: what field reads, dictionary look-ups and the data-document
// classes hand back. Null (unassigned) is the empty state.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "common/date_time.h"

namespace ks {

class Variant {
 public:
  using Array = std::vector<Variant>;

  Variant() = default;
  Variant(bool v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(DateTime v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(Array v) : value_(std::move(v)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  template <typename T>
  bool Is() const { return std::holds_alternative<T>(value_); }
  template <typename T>
  const T& As() const { return std::get<T>(value_); }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, bool, int32_t, double, DateTime, std::string, Array> value_;
};

}  // namespace ks
