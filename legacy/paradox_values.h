#pragma once
// Field types of Paradox data files and the decoding of their stored values. Values in a
// record are big-endian with the sign bit flipped, so that a plain byte comparison sorts
// them; all zero bytes mean "blank" (null) for every type.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/byte_order.h"

namespace ks {

enum class ParadoxFieldType : uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBinary = 0x0D,
  kFormattedMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoInc = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// Bytes a BCD field takes in the record, whatever its declared size (which holds the
// number of decimals).
constexpr int kParadoxBcdSize = 17;
// The blob pointer at the end of every blob field.
constexpr int kParadoxBlobPointerSize = 10;

bool IsKnownParadoxType(uint8_t code);
// Memo, binary, formatted memo, OLE, graphic: a leader followed by a blob pointer.
inline bool IsParadoxBlobType(ParadoxFieldType type) {
  return type == ParadoxFieldType::kMemo || type == ParadoxFieldType::kBinary ||
         type == ParadoxFieldType::kFormattedMemo || type == ParadoxFieldType::kOle ||
         type == ParadoxFieldType::kGraphic;
}
// Short, long, autoincrement, date, time: stored as signed integers.
inline bool IsParadoxIntegerType(ParadoxFieldType type) {
  return type == ParadoxFieldType::kShort || type == ParadoxFieldType::kLong ||
         type == ParadoxFieldType::kAutoInc || type == ParadoxFieldType::kDate ||
         type == ParadoxFieldType::kTime;
}
// Number, money, timestamp: stored as doubles.
inline bool IsParadoxDoubleType(ParadoxFieldType type) {
  return type == ParadoxFieldType::kNumber || type == ParadoxFieldType::kMoney ||
         type == ParadoxFieldType::kTimestamp;
}
// The letter the legacy engine shows for a type ('A', 'N', '$', ...); '?' for unknown codes.
char ParadoxTypeLetter(uint8_t code);

// True when the stored bytes are the blank value of the type.
bool IsParadoxNull(ParadoxFieldType type, const uint8_t* data, size_t size);

// Integers of 1, 2 or 4 bytes (S, I, +, D, T). Blank reads 0.
inline int32_t DecodeParadoxInteger(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4) return 0;
  uint32_t raw = 0;
  for (size_t i = 0; i < size; ++i) raw = (raw << 8) | data[i];
  if (raw == 0) return 0;
  const uint32_t sign = 1u << (size * 8 - 1);
  raw ^= sign;                                // back to two's complement of the field's width
  if (raw & sign) raw |= ~((sign << 1) - 1);  // sign-extend to 32 bits (no-op for 4 bytes)
  int32_t value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

// 8-byte doubles (N, $, @). Blank reads 0.
inline double DecodeParadoxDouble(const uint8_t* data) {
  uint64_t raw = GetBe64(data);
  if (raw == 0) return 0;
  if (raw & (uint64_t{1} << 63)) {
    raw &= ~(uint64_t{1} << 63);
  } else {
    raw = ~raw;
  }
  double value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}
// Logical: 0x81 true, anything else false.
bool DecodeParadoxLogical(const uint8_t* data);
// Alpha and bytes: the stored bytes up to the first NUL.
std::string_view DecodeParadoxAlpha(const uint8_t* data, size_t size);
// A 17-byte packed decimal as text with its stored number of decimals ("-40.000000");
// blank gives an empty text.
std::string DecodeParadoxBcd(const uint8_t* data);

// Milliseconds in a day; timestamps count them from day 0 of the ordinal day count.
constexpr double kParadoxMsPerDay = 86400000.0;

}  // namespace ks
