#pragma once
// Process-wide start-up work shared by both front ends.

namespace ks {

// Registers the metadata element classes and loads the embedded schema into the
// process-wide metadata tree. Raises the load's exception on failure.
void LoadProcessMetadata();

// Large buffers (index keys, records on their way to a worker thread or to the disk) are
// handed between threads. They are taken from the system and given back to it when freed,
// so that what a worker thread freed does not stay with that thread's allocation arena and
// the memory of a long run stays flat. Call first thing, before any thread starts.
void SetUpProcessMemory();

}  // namespace ks
