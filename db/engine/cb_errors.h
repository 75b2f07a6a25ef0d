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

// A file that exists but cannot be opened, or cannot be created.
class ECBOpenFile : public Exception {
 public:
  using Exception::Exception;
};

// What an engine code says of a file, for the operator ("файл не читается"); empty for a
// code that says nothing of a file.
std::string EngineCodeMeaning(int code);

// "Ошибка " and the code, the engine's own words for a failure.
inline std::string EngineCodeText(int code) { return W("Ошибка ") + std::to_string(code); }

// An engine failure with no message of its own. The text is the given lead, then the cause
// when the engine knows it (the operation, the file and the system's reason, as
// code4errorCause gives it) with the code in brackets, else "Ошибка " and the code; the code,
// the table file and the cause travel with it, so that callers tell the failures apart
// without reading the text.
class ECBEngineError : public Exception {
 public:
  ECBEngineError(int code, std::string file, const std::string& lead = {}, const std::string& cause = {})
      : Exception(lead + (cause.empty() ? EngineCodeText(code) : cause + " (" + EngineCodeText(code) + ")")),
        code_(code),
        file_(std::move(file)),
        cause_(cause) {}
  int Code() const { return code_; }
  const std::string& File() const { return file_; }
  const std::string& Cause() const { return cause_; }

 private:
  int code_;
  std::string file_;
  std::string cause_;
};

}  // namespace ks
