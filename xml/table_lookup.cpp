#include "xml/table_lookup.h"

#include <string>

#include "common/codepage.h"
#include "xml/metadata_root.h"

namespace ks {
namespace {

// The name without its extension: from the last "." after the last directory separator.
std::string_view WithoutExtension(std::string_view name) {
  const size_t dot = name.find_last_of(".\\/");
  if (dot == std::string_view::npos || name[dot] != '.') return name;
  return name.substr(0, dot);
}

}  // namespace

TqrxTableDef& FindTableDef(const TqrxMetaData& metadata, std::string_view table_name) {
  const std::string name = UpperCp1251(WithoutExtension(table_name));
  TqrxNamedTag* found = metadata.TableDefs().FindChild("tabledef", {{"name", name}});
  if (found == nullptr) throw Exception("can not found table " + name + " in metadata");
  return TagCast<TqrxTableDef>(found);
}

TqrxTableDef& FindTableDef(std::string_view table_name) {
  return FindTableDef(MetadataRoot(), table_name);
}

}  // namespace ks
