#pragma once
// The failures of the XML layer. Each carries only its message text.

#include "common/exception.h"

namespace ks {

class EqrxTagException : public Exception {
 public:
  using Exception::Exception;
};

class EqrxTagAttrException : public EqrxTagException {
 public:
  using EqrxTagException::EqrxTagException;
};

class EqrxTagParseException : public EqrxTagException {
 public:
  using EqrxTagException::EqrxTagException;
};

class EqrxTagChildNotFound : public EqrxTagException {
 public:
  using EqrxTagException::EqrxTagException;
};

class EqrxTagAttrNotFound : public EqrxTagAttrException {
 public:
  using EqrxTagAttrException::EqrxTagAttrException;
};

class EqrxUnknownTagType : public EqrxTagParseException {
 public:
  using EqrxTagParseException::EqrxTagParseException;
};

// Raised where a node of one class is required and a node of another class (or none) is found.
class EInvalidCast : public Exception {
 public:
  EInvalidCast() : Exception("Invalid class typecast") {}
};

// Index and duplicate errors of the ordered lists.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ks
