// The schema document of the Windows programs: their own raw-data resource "METADATA"
// (metadata.rc), as the successor package's tools read it too.
#include <stdexcept>

#include "common/platform.h"
#include "resources/embedded_metadata.h"

namespace ks {

std::string_view EmbeddedMetadataDocument() {
  const std::optional<std::string_view> document = ProgramResource("METADATA");
  if (!document) throw std::runtime_error("Resource METADATA not found");
  return *document;
}

}  // namespace ks
