#include "app/startup.h"

namespace ks {

void LoadProcessMetadata() {
  // The metadata library registers its classes and loads the embedded document here once
  // it is part of the build.
}

}  // namespace ks
