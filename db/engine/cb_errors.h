#pragma once
// Failures of opening the table files. Each carries only its message.

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

}  // namespace ks
