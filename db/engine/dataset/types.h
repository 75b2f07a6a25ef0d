#pragma once
// The small vocabulary shared by datasets and their fields.

#include <cstdint>
#include <string>

#include "common/exception.h"

namespace ks {

// Field-type ordinals, shared with the metadata model.
enum class TFieldType : uint8_t {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
  ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant,
  ftInterface, ftIDispatch, ftGuid
};
using enum TFieldType;

enum class TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue, dsCurValue, dsInternalCalc
};
using enum TDataSetState;

enum class TFieldKind { fkData, fkCalculated };
using enum TFieldKind;

enum class TGetMode { gmCurrent, gmNext, gmPrior };
using enum TGetMode;

enum class TGetResult { grOK, grBOF, grEOF, grError };
using enum TGetResult;

enum class TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
using enum TBookmarkFlag;

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
using enum TBlobStreamMode;

enum class TDataAction { daFail, daAbort, daRetry };
using enum TDataAction;

// Locate options, as bits.
constexpr unsigned loCaseInsensitive = 1;
constexpr unsigned loPartialKey = 2;

// A bookmark is an opaque byte string of the dataset's bookmark size; empty means none.
using TBookmark = std::string;

// The framework's own failures (unknown field, wrong state, required value missing).
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// Raised to end an operation silently (a handler chose to abort it).
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// A byte stream, as the memo fields read and write through.
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;

class TStream {
 public:
  virtual ~TStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
};

}  // namespace ks
