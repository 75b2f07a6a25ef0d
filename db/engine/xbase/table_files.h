#pragma once
// The files of a table seen from outside a cursor: its header read by the engine's own rules,
// the structural-index flag cleared once the index file is gone, the faults a reader of the
// files would meet, and the names of the temporary files the engine leaves beside an index
// while it spills sorted runs of keys.

#include <cstdint>
#include <string>
#include <vector>

#include "db/engine/xbase/dbf_table.h"

namespace ks::xbase {

// Reads and checks the header of the table file: 0, e4fileFind, e4open or e4read (the cause
// in LastFileFailure) or e4data for a file that is no table of this engine.
int ReadTableHeader(const std::string& dbf_path, DbfHeader* out);

// Clears the header's structural-index flag, so that no program looks for an index file that
// is gone; writes nothing when it is clear. 0 or an engine code as above, e4write for a
// failed write.
int ClearStructuralIndexFlag(const std::string& dbf_path);

// What a reader would trip over in the files of a table.
struct TableFileFault {
  enum class Kind {
    kMissingIndex,       // the header claims a structural index file that is not there
    kRecordCount,        // the record count of the header disagrees with the file size
    kNoEndMark,          // no end-of-file mark after the last record
    kMemoNextFree,       // the memo file's next free block lies beyond its size
  };
  Kind kind;
  std::string file;   // the file the fault is in
  uint64_t expected;  // kRecordCount: the bytes the count needs; kMemoNextFree: the bytes the
                      // pointer needs
  uint64_t found;     // the file's size
};
// The faults of the table at dbf_path (with its .cdx and .fpt beside it), once its header
// reads (ReadTableHeader gives 0); 0 or an engine code for a file that could not be read.
int InspectTableFiles(const std::string& dbf_path, std::vector<TableFileFault>* faults);

// "goods.cdx" -> the name of a temporary file of sorted keys for tag number tag of an index
// opened under token, beside the index: "goods.cdx-<token>-<tag>.tmp".
std::string SpillFileName(const std::string& index_path, const std::string& token, size_t tag);
// True for a name SpillFileName forms (the name without its directory).
bool IsSpillFileName(const std::string& name);

}  // namespace ks::xbase
