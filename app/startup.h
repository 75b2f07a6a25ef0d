#pragma once
// Process-wide start-up work shared by both front ends.

namespace ks {

// Registers the metadata element classes and loads the embedded schema into the
// process-wide metadata tree. Raises the load's exception on failure.
void LoadProcessMetadata();

}  // namespace ks
