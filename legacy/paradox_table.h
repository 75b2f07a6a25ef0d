#pragma once
// Reads a Paradox table (.DB with its optional .MB) record by record in the table's own
// order: along the chain of data blocks, which for a keyed table is primary-key order.
// Blocks are read in large chunks; a field is decoded only when it is asked for. Every
// fault of the files ends in a ks::Exception naming the table and the file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/date_time.h"
#include "common/file.h"
#include "common/non_copyable.h"
#include "legacy/paradox_blob_file.h"
#include "legacy/paradox_chain_cache.h"
#include "legacy/ordinal_index.h"
#include "legacy/paradox_code_page.h"
#include "legacy/paradox_header.h"

namespace ks {

class ParadoxTable : NonCopyable {
 public:
  ParadoxTable();
  ~ParadoxTable();

  // Opens the data file and, when blob_path is not empty, its blob file; label names the
  // table in messages. Walks the block chain once, so that a broken chain fails here;
  // with chains, only when they hold no chain of this very file, and keeps it there.
  void Open(const std::string& db_path, const std::string& blob_path, const std::string& label,
            ParadoxChainCache* chains = nullptr);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }

  // Field names are translated to Windows-1251 for a table in 866, like its texts.
  const ParadoxHeader& Header() const { return header_; }
  // The code page of the texts and how it was decided.
  const ParadoxCodePage& CodePage() const { return code_page_; }
  const std::vector<ParadoxField>& Fields() const { return header_.fields; }
  // Index of the field with that name, compared without regard to case; -1 when absent.
  int FindField(std::string_view name) const;
  // Records along the block chain.
  uint32_t RecordCount() const { return record_count_; }

  void First();
  void Next();
  void GoToEnd() { Position(chain_.size(), 0); }
  bool Eof() const { return record_ == nullptr; }

  // Values of the current record (the cursor must not be at the end). Blank values read
  // as 0, an empty text, false or day 0 (30 December 1899).
  bool IsNull(int field) const;
  int64_t AsInteger(int field) const;
  double AsDouble(int field) const;
  bool AsLogical(int field) const;
  DateTime AsDateTime(int field) const;
  // Alpha and bytes as stored up to the first NUL, memos and other blobs whole, numbers
  // as decimal text. Alpha and memo texts of a table in 866 come translated to 1251; a
  // character 1251 lacks becomes '?' and counts in TextLosses.
  std::string AsText(int field) const;
  // A blob field's value as stored (a graphic keeps its 8-byte prefix).
  std::string ReadBlob(int field) const;

  // Per field, the records whose text lost characters in the translation from 866 (the
  // last such record read again does not count again), since opening or the last clear.
  const std::vector<int64_t>& TextLosses() const { return text_losses_; }
  void ClearTextLosses();

  // Positions on the first record whose integer field holds key; false (and at the end)
  // when there is none. The look-up table for the field is built on first use.
  bool Find(int field, int64_t key);

 private:
  void WalkChain();
  // Counts the Cyrillic letters of the alpha fields along the chain (enough to decide).
  CyrillicLetterCounts CountAlphaLetters();
  void ChooseCodePage();
  // Translates a text of field from 866 in place, counting a loss for the current record.
  void Translate(std::string& text, int field) const;
  uint32_t CurrentOrdinal() const { return chain_[chain_index_].first_record + slot_; }
  void Position(size_t chain_index, uint32_t slot);
  void PositionOrdinal(uint32_t ordinal);
  const uint8_t* Block(int block);
  // The current record's bytes of a field; checks the cursor and the field number.
  const uint8_t* FieldData(int field) const {
    if (record_ == nullptr || field < 0 || static_cast<size_t>(field) >= header_.fields.size()) BadFieldAccess(field);
    return record_ + header_.fields[field].offset;
  }
  [[noreturn]] void BadFieldAccess(int field) const;
  [[noreturn]] void Fail(const std::string& utf8_detail) const;
  [[noreturn]] void FailCp1251(const std::string& detail) const;

  File file_;
  uint64_t file_size_ = 0;
  ParadoxBlobFile blobs_;
  std::string label_;
  ParadoxHeader header_;
  std::vector<ParadoxChainBlock> chain_;
  uint32_t record_count_ = 0;

  // A window of consecutive blocks read in one go.
  std::vector<uint8_t> window_;
  int window_first_ = 0;
  int window_blocks_ = 0;

  // Cursor.
  size_t chain_index_ = 0;
  uint32_t slot_ = 0;
  const uint8_t* record_ = nullptr;

  std::unordered_map<int, OrdinalIndex> indexes_;

  ParadoxCodePage code_page_;
  mutable std::vector<int64_t> text_losses_;
  mutable std::vector<uint32_t> loss_counted_at_;  // per field: ordinal + 1 of the last record counted
};

}  // namespace ks
