#pragma once
// The columns of the common document table that the document and payment-order stages both
// fill, looked up once per stage.

#include <cstdint>
#include <string>

#include "app/stage_target.h"

namespace ks {

// The document kind of payment orders.
inline constexpr int32_t kPaymentOrderKind = 10;

struct DocColumns {
  explicit DocColumns(StageTarget& docs);

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
