#pragma once
// The schema document of the target database, compiled into the program from
// resources/metadata.xml: Windows-1251 (pure ASCII), CR LF line ends.

#include <string_view>

namespace ks {

std::string_view EmbeddedMetadataDocument();

}  // namespace ks
