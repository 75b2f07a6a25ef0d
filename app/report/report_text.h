#pragma once
// Legacy values as the report shows them: UTF-8 that any page or JSON reader takes, with
// everything that is not plain text written as a visible escape, so that a control character,
// a byte that is no character of Windows-1251 or a backslash can neither break the page nor
// pass unnoticed.

#include <string>
#include <string_view>

#include "app/report/record_example.h"

namespace ks {

// Windows-1251 bytes to UTF-8 with escapes: \\ for a backslash, \r \n \t for those control
// characters, \xNN for the other control characters, DEL and the unassigned byte 0x98.
// The escapes read back unambiguously.
std::string DisplayText(std::string_view cp1251);

// "FirmRef, RefID 17" or "Template, запись 3" (UTF-8); "-" for a record the run makes itself.
std::string RecordLabel(const LegacyRecordName& record);

// A reason for skipping, as the stages name it for scripts ("TypeDoc 3 (not converted)"), in
// Russian for people ("этот тип документов не преобразуется (TypeDoc 3)"); the field and its
// value stay as they are, and a reason of another form is returned unchanged (UTF-8).
std::string SkipReasonText(const std::string& reason);

}  // namespace ks
