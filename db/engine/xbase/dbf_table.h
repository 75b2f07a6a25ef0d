#pragma once
// One open data file (.dbf), shared by every cursor over it: header, field layout,
// records, the memo file, the production index and the record locks. Appended records
// are gathered in a write-behind buffer; the header (record count, date) and the
// end-of-file mark are written with them on Flush.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/file.h"
#include "db/engine/xbase/field_def.h"
#include "db/engine/xbase/read_ahead.h"
#include "db/engine/xbase/tail_buffer.h"

namespace ks::xbase {

class MemoFile;
class CompoundIndex;

// The fixed 32 bytes at the start of a table file, as this engine reads them.
struct DbfHeader {
  uint8_t version = 0;
  uint32_t record_count = 0;
  uint32_t header_length = 0;  // the header with its field descriptors
  uint32_t record_width = 0;
  uint8_t flags = 0;           // bit 0: a structural index file belongs to the table
  uint8_t code_page = 0;
  bool StructuralIndex() const { return (flags & 0x01) != 0; }
  // Where the records end and the end-of-file mark stands.
  uint64_t DataEnd() const { return uint64_t(header_length) + uint64_t(record_count) * record_width; }
};
inline constexpr uint64_t kDbfFlagsOffset = 28;
inline constexpr uint8_t kDbfEndOfFile = 0x1A;

class DbfTable {
 public:
  // Each returns 0 or an engine error code.
  static int Create(const std::string& path, std::vector<FieldDef> fields, bool overwrite,
                    std::unique_ptr<DbfTable>* out);
  static int Open(const std::string& path, std::unique_ptr<DbfTable>* out);
  // Reads and checks the header of an open table file of size bytes: 0, e4read (the cause
  // in LastFileFailure) or e4data for a file that is no table of this engine.
  static int ReadHeader(const File& file, int64_t size, DbfHeader* out);
  ~DbfTable();

  const std::string& Path() const { return path_; }
  const std::vector<FieldDef>& Fields() const { return fields_; }
  int FieldIndex(std::string_view name) const;  // -1 when missing
  size_t RecordWidth() const { return record_width_; }
  uint32_t RecordCount() const { return count_; }
  bool HasMemo() const { return memo_ != nullptr; }
  MemoFile* Memo() { return memo_.get(); }

  int ReadRecord(uint32_t recno, char* record) const;
  // Writes record recno in place and moves its index keys.
  int WriteRecord(uint32_t recno, const char* record);
  // Adds a record at the end, with its index keys.
  int AppendRecord(const char* record, uint32_t* recno);
  // Writes everything held in memory: records, header, memos, index.
  int Flush();
  // Re-reads the record count of the header (another process may have appended).
  int RefreshCount();

  CompoundIndex* Index() { return index_.get(); }
  void SetIndex(std::unique_ptr<CompoundIndex> index);
  // Byte 28 of the header: set while a production index belongs to the table.
  int SetIndexFlag(bool on);
  std::string IndexPath() const;  // the production index beside the table

  // Record locks between processes (open-file-description locks, one byte per record
  // in a range far past any real data). 0, or r4locked when another process holds it.
  int Lock(uint32_t recno);
  int UnlockAll();

 private:
  DbfTable() = default;
  int WriteHeader();
  uint64_t RecordOffset(uint32_t recno) const { return header_len_ + uint64_t(recno - 1) * record_width_; }

  std::string path_;
  File file_;
  uint8_t version_ = 0x03;
  uint8_t flags_ = 0;
  uint8_t code_page_ = 0xC9;
  uint32_t count_ = 0;
  uint32_t header_len_ = 0;
  uint32_t record_width_ = 0;
  bool header_dirty_ = false;
  std::vector<FieldDef> fields_;
  std::unique_ptr<MemoFile> memo_;
  std::unique_ptr<CompoundIndex> index_;
  TailBuffer tail_;
  mutable ReadAhead read_ahead_;  // records read in record order
  bool holds_locks_ = false;
};

}  // namespace ks::xbase
