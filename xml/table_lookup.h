#pragma once
// Finding a table definition by table name.

#include <string_view>

#include "xml/metadata.h"

namespace ks {

// The definition of a table given by bare name or table file name: the extension is cut off
// and the rest upper-cased ("Firm.dbf" finds "FIRM"); definition names compare exactly.
// An unknown table raises "can not found table NAME in metadata".
TqrxTableDef& FindTableDef(const TqrxMetaData& metadata, std::string_view table_name);
// The same in the process-wide metadata.
TqrxTableDef& FindTableDef(std::string_view table_name);

}  // namespace ks
