#pragma once
// The one base class of every failure the converter reports. The message is the text shown
// to the operator (Windows-1251 bytes for the Russian texts, plain ASCII for the English ones).

#include <stdexcept>
#include <string>

namespace ks {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace ks
