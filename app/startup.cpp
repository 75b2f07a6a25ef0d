#include "app/startup.h"

#include "resources/metadata_load.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ks {

void LoadProcessMetadata() { LoadMetadata(); }

void SetUpProcessMemory() {
#ifdef __GLIBC__
  // A fixed threshold also keeps the allocator from raising it after every large free,
  // which would send the next large buffers into the arenas.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  // Elsewhere large blocks come from the system and go back to it already.
}

}  // namespace ks
