#pragma once
// Identifiers the legacy package stores for "none": the reference-book records under these
// marks are not copied, and goods that carry them get no group or country.

#include <cstdint>

namespace ks {

inline constexpr int32_t kNoGroup = 0;
inline constexpr int32_t kNoCountry = -10;

}  // namespace ks
