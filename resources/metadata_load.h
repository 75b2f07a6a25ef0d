#pragma once
// The start-up load of the schema: the first thing both front ends do.

#include "xml/metadata.h"
#include "xml/metadata_root.h"
#include "xml/table_lookup.h"

namespace ks {

// Registers the metadata element classes, parses the embedded schema into the process-wide
// tree and returns its metadata root (afterwards also MetadataRoot()). Parse errors and
// "Invalid class typecast" for a missing "metadata" element pass on to the caller, who stops
// the program with the message.
TqrxMetaData& LoadMetadata();

}  // namespace ks
