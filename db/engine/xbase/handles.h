#pragma once
// The engine's handles behind the flat functions, and the cursor steps that both the
// position functions (cursor.cpp) and the change functions (xbase.cpp) use.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/file.h"
#include "db/engine/xbase/cdx_index.h"
#include "db/engine/xbase/dbf_table.h"
#include "db/engine/xbase/expression.h"
#include "db/engine/xbase/xbase.h"

struct Code4 {
  int error = 0;
  std::string error_cause;  // what failed, in which file and why; empty when not known
  int safety = 1;
  int err_off = 0;
  // Appended index keys held in memory per index. Smaller buffers that are sorted and
  // written out more often keep the caches and fresh pages out of the way of appending:
  // 16 MiB beat 64, 32 and 8 on the benchmark archive at every scale.
  long index_memory = 16L << 20;
  std::vector<Data4*> cursors;  // every open cursor of this engine, in order of opening
};

struct Field4 {
  Data4* data = nullptr;
  int index = 0;
  std::string memo;  // the memo last read for f4memoStr
};

struct Expr4 {
  Data4* data = nullptr;
  std::unique_ptr<ks::xbase::Expression> expr;
  std::string result;
};

struct Data4 {
  Code4* engine = nullptr;
  std::shared_ptr<ks::xbase::DbfTable> table;
  std::vector<char> record;
  uint32_t recno = 0;       // 0 while nothing is loaded
  bool eof = true;
  bool bof = true;
  bool changed = false;
  bool appending = false;   // between d4appendStart and d4append
  ks::xbase::Tag* tag = nullptr;  // null: record order
  std::vector<std::unique_ptr<Field4>> fields;
  std::map<int, std::string> pending_memos;  // field index -> new text
};

namespace ks::xbase {

// Sets the engine's error code; a failure of a file operation behind it is taken along as
// its cause (and forgotten, so that it cannot be blamed for a later failure). The same code
// passed on again by an outer step keeps the cause it has.
inline int Fail(Code4* engine, int code) {
  if (engine) {
    const ks::FileFailure* failure = ks::LastFileFailure();
    if (failure != nullptr) {
      engine->error_cause = ks::DescribeFileFailure(*failure);
    } else if (engine->error != code) {
      engine->error_cause.clear();
    }
    engine->error = code;
  }
  ks::ForgetFileFailure();
  return code;
}

inline Index4* IndexHandle(CompoundIndex* index) { return reinterpret_cast<Index4*>(index); }
inline CompoundIndex* IndexOf(Index4* handle) { return reinterpret_cast<CompoundIndex*>(handle); }
inline Tag4* TagHandle(Tag* tag) { return reinterpret_cast<Tag4*>(tag); }
inline Tag* TagOf(Tag4* handle) { return reinterpret_cast<Tag*>(handle); }

// The cursor stands past the last record (blank buffer).
void SetEof(Data4* d);
// Reads record recno into the buffer; pending changes are dropped.
int Load(Data4* d, uint32_t recno);
// Writes pending memo texts and points the record's memo fields at them.
int StoreMemos(Data4* d);
// Writes a changed record before the cursor moves; an append that was started but not
// completed is dropped.
int WritePending(Data4* d);
// First and last record of the cursor's order.
int Top(Data4* d);
int Bottom(Data4* d);

}  // namespace ks::xbase
