#pragma once
// Writes one Paradox table (.DB, and its .MB blob file when it has memo fields) through
// pxlib, one record at a time. Field values are set by field name; a field that is not set
// stays blank, as the legacy package leaves a field nobody filled in. The files come out
// byte-identical for identical input: the run-time pointers and the update time that
// pxlib copies from memory and from the clock are overwritten with fixed values on close.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/non_copyable.h"

struct px_doc;
struct px_blob;

namespace ks {

// Field kinds by their Paradox letters: 'I' long, 'S' short, 'A' alpha, 'N' number,
// 'L' logical, 'D' date, 'M' memo. `size` is the alpha width or, for a memo, the whole
// field (leader plus the 10-byte blob pointer); the other kinds take their fixed size.
struct ParadoxColumn {
  std::string name;
  char kind;
  int size = 0;
};

class ParadoxTableWriter : NonCopyable {
 public:
  // Creates `path` (and `blob_path` when a field is a memo; it must then be given). The
  // first `key_fields` fields form the primary key; records must then be appended in key
  // order, which the writer checks for a single long key. With `expected_records` the
  // table is built in memory and written on close (much faster for big tables); it then
  // takes no more records than that. The data blocks are the smallest (2 KiB upwards) that
  // let that many records fit the 65535 blocks a table may have.
  ParadoxTableWriter(const std::string& path, const std::string& table_name,
                     std::vector<ParadoxColumn> fields, int key_fields,
                     const std::string& blob_path = {}, long expected_records = 0);
  ~ParadoxTableWriter();

  // The code page the table's header names and its alpha and memo texts are stored in:
  // 1251 (the default) or 866, to which the Windows-1251 texts given are converted (a
  // character that 866 lacks becomes "?"). Set before the first record.
  void SetCodePage(int code_page);

  // Values of the record being built. Texts are Windows-1251 bytes, cut to the width.
  void SetLong(std::string_view field, int32_t value);
  void SetShort(std::string_view field, int16_t value);
  void SetText(std::string_view field, std::string_view text);
  void SetNumber(std::string_view field, double value);
  void SetLogical(std::string_view field, bool value);
  void SetDate(std::string_view field, int year, int month, int day);
  // An empty memo stays blank.
  void SetMemo(std::string_view field, std::string_view text);

  // Writes the record and starts a blank one.
  void Append();
  // Finishes both files. Errors throw ks::Exception; the destructor closes silently.
  void Close();

  int record_count() const { return record_count_; }
  int block_size() const { return block_size_; }

 private:
  struct Slot {
    char kind;
    int offset;
    int size;
  };
  const Slot& Find(std::string_view field, char kind) const;
  long BlocksFor(long records, int block_size) const;
  void Release();
  void WriteImage();
  void MakeDeterministic() const;

  std::string path_;
  std::string blob_path_;
  size_t field_count_;
  bool check_long_key_ = false;
  int block_size_ = 0;
  px_doc* doc_ = nullptr;
  px_blob* blob_ = nullptr;
  std::unordered_map<std::string, Slot> slots_;
  std::vector<char> record_;
  int record_count_ = 0;
  long capacity_ = 0;          // records announced; 0: written straight to the file
  std::vector<char> image_;    // the table while it is written, when announced
  std::FILE* memory_ = nullptr;
  int64_t last_key_ = INT64_MIN;
  bool oem_texts_ = false;  // texts stored in code page 866
};

}  // namespace ks
