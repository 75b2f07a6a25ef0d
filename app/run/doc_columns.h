#pragma once
// The columns of the common document table that the document and payment-order stages both
// fill, looked up once per stage.

#include <cstdint>
#include <string>

#include "app/run/stage_target.h"
#include "common/date_time.h"

namespace ks {

// The document kind of payment orders.
inline constexpr int32_t kPaymentOrderKind = 10;

// What every converted document states in its common columns.
struct DocHeader {
  int32_t uid = 0;
  DateTime date;
  std::string number;  // STRNUM, and INTNUM from its first run of digits
  int32_t firm = 0;
  int32_t partner = 0;
  double sum = 0;
  bool uses_sales_tax = false;  // USENSP
};

struct DocColumns {
  explicit DocColumns(StageTarget& docs);

  // UID, FDATE, STRNUM, INTNUM, FIRM, PARTNER, FSUM and USENSP.
  void SetHeader(const DocHeader& header);

  // STRNUM and, from its first run of digits, INTNUM (0, counted as a loss, for digits that
  // do not fit it).
  void SetNumber(const std::string& text);
  // A converted document is kept in the home currency: CURRID 0, RATE 1, BYCURR false.
  void SetHomeCurrency();

  TargetField& uid;
  TargetField& ftype;
  TargetField& fdate;
  TargetField& strnum;
  TargetField& intnum;
  TargetField& firm;
  TargetField& partner;
  TargetField& fsum;
  TargetField& usensp;
  TargetField& currid;
  TargetField& rate;
  TargetField& bycurr;
  TargetField& fcomplex;
};

}  // namespace ks
