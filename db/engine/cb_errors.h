#pragma once
// Failures of the table component: opening the table files, and any other failure the
// engine reports by its code.

#include <string>
#include <utility>

#include "common/codepage.h"
#include "common/exception.h"

namespace ks {

class ECBOpenTable : public Exception {
 public:
  using Exception::Exception;
};

class ECBOpenIndex : public Exception {
 public:
  using Exception::Exception;
};

class ECBOpenFile : public Exception {
 public:
  using Exception::Exception;
};

// An engine failure with no message of its own. The text is "Ошибка " and the code (after
// the given lead, where one is given); the code and the table file travel with it, so that
// callers tell the failures apart without reading the text.
class ECBEngineError : public Exception {
 public:
  ECBEngineError(int code, std::string file, const std::string& lead = {})
      : Exception(lead + W("Ошибка ") + std::to_string(code)), code_(code), file_(std::move(file)) {}
  int Code() const { return code_; }
  const std::string& File() const { return file_; }

 private:
  int code_;
  std::string file_;
};

}  // namespace ks
