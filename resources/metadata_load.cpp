#include "resources/metadata_load.h"

#include <sstream>
#include <string>

#include "resources/embedded_metadata.h"

namespace ks {

TqrxMetaData& LoadMetadata() {
  RegisterMetadataClasses();
  std::istringstream stream{std::string(EmbeddedMetadataDocument())};
  return LoadMetadataDocument(stream);
}

}  // namespace ks
