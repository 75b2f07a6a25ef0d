#include "app/startup.h"

#include "resources/metadata_load.h"

namespace ks {

void LoadProcessMetadata() { LoadMetadata(); }

}  // namespace ks
