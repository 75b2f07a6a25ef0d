#pragma once
// Field types of Paradox data files and the decoding of their stored values. Values in a
// record are big-endian with the sign bit flipped, so that a plain byte comparison sorts
// them; all zero bytes mean "blank" (null) for every type.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
bool IsParadoxBlobType(ParadoxFieldType type);
// Short, long, autoincrement, date, time: stored as signed integers.
bool IsParadoxIntegerType(ParadoxFieldType type);
// Number, money, timestamp: stored as doubles.
bool IsParadoxDoubleType(ParadoxFieldType type);
// The letter the legacy engine shows for a type ('A', 'N', '$', ...); '?' for unknown codes.
char ParadoxTypeLetter(uint8_t code);

// True when the stored bytes are the blank value of the type.
bool IsParadoxNull(ParadoxFieldType type, const uint8_t* data, size_t size);

// Integers of 1, 2 or 4 bytes (S, I, +, D, T). Blank reads 0.
int32_t DecodeParadoxInteger(const uint8_t* data, size_t size);
// 8-byte doubles (N, $, @). Blank reads 0.
double DecodeParadoxDouble(const uint8_t* data);
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
