#pragma once
// The first UID the package hands out for a table: a table without a row in LINES starts
// there, the payment-purpose templates are numbered from it, and the counters a conversion
// leaves behind never fall below it.

#include <cstdint>

namespace ks {

inline constexpr int32_t kFirstUid = 1000;

}  // namespace ks
