#pragma once
// The process-wide metadata: one document tree, loaded at start-up and alive until the
// program ends, whose "metadata" element is the metadata root.

#include <iosfwd>

#include "xml/metadata.h"
#include "xml/xml_tag.h"

namespace ks {

// Parses the document into a new process-wide tree and returns its root. The element
// classes must be registered (RegisterMetadataClasses). Parse errors pass on unchanged; a
// missing or wrongly typed "metadata" element is "Invalid class typecast". On failure the
// tree loaded before, if any, stays in place.
TqrxMetaData& LoadMetadataDocument(std::istream& document);

// The root loaded at start-up; raises when nothing has been loaded.
TqrxMetaData& MetadataRoot();
bool MetadataLoaded();

}  // namespace ks
