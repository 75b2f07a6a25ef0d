#include "legacy/paradox_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/byte_order.h"
#include "common/codepage.h"
#include "common/exception.h"
#include "common/number_text.h"
#include "common/platform.h"

namespace ks {
namespace {

// Blocks are read in windows of about this many bytes: large enough that a table read
// front to back costs few system calls, small enough to bound memory on big tables.
constexpr size_t kWindowBytes = 1 << 20;
constexpr int kBlockHeaderSize = 6;
constexpr size_t kMaxHeaderBytes = 0xFFFF;

}  // namespace

ParadoxTable::ParadoxTable() = default;
ParadoxTable::~ParadoxTable() = default;

void ParadoxTable::FailCp1251(const std::string& detail) const {
  throw Exception(W("Ошибка чтения таблицы ") + label_ + " (" + file_.Path() + "): " + detail);
}

void ParadoxTable::Fail(const std::string& utf8_detail) const { FailCp1251(W(utf8_detail)); }

void ParadoxTable::Open(const std::string& db_path, const std::string& blob_path, const std::string& label,
                        ParadoxChainCache* chains) {
  Close();
  label_ = label;
  if (!file_.Open(db_path, File::Mode::kReadOnly)) {
    throw Exception(W("Не открывается таблица ") + label + " (" + db_path + "): " + SystemErrorText());
  }
  try {
    const int64_t size = file_.Size();
    if (size < 0) Fail("не читается размер файла");
    file_size_ = static_cast<uint64_t>(size);
    std::vector<uint8_t> head(std::min<uint64_t>(file_size_, kMaxHeaderBytes));
    const int64_t got = file_.ReadAt(0, head.data(), head.size());
    if (got < 0) Fail("ошибка чтения заголовка: " + Cp1251ToUtf8(SystemErrorText()));
    try {
      header_ = ParseParadoxHeader(head.data(), static_cast<size_t>(got));
    } catch (const Exception& e) {
      FailCp1251(e.Message());
    }
    if (!blob_path.empty()) {
      try {
        blobs_.Open(blob_path);
      } catch (const Exception& e) {
        throw Exception(W("Ошибка чтения таблицы ") + label_ + " (" + blob_path + "): " + e.Message());
      }
    }
    File::Stamp stamp;
    const bool stamped = chains != nullptr && file_.GetStamp(stamp);
    if (const ParadoxChainCache::Chain* walked = stamped ? chains->Find(db_path, stamp) : nullptr) {
      chain_ = walked->blocks;
      record_count_ = walked->record_count;
    } else {
      WalkChain();
      if (stamped) chains->Keep(db_path, {stamp, chain_, record_count_});
    }
    ChooseCodePage();
  } catch (...) {
    Close();
    throw;
  }
  First();
}

void ParadoxTable::Close() {
  file_.Close();
  blobs_.Close();
  header_ = ParadoxHeader();
  chain_.clear();
  record_count_ = 0;
  window_.clear();
  window_.shrink_to_fit();
  window_first_ = window_blocks_ = 0;
  chain_index_ = 0;
  slot_ = 0;
  record_ = nullptr;
  indexes_.clear();
  code_page_ = ParadoxCodePage();
  text_losses_.clear();
  loss_counted_at_.clear();
}

const uint8_t* ParadoxTable::Block(int block) {
  if (block >= window_first_ && block < window_first_ + window_blocks_) {
    return window_.data() + static_cast<size_t>(block - window_first_) * header_.block_size;
  }
  if (block < 1 || block > header_.file_blocks) {
    Fail("ссылка на блок " + std::to_string(block) + " за пределами файла");
  }
  const size_t block_size = static_cast<size_t>(header_.block_size);
  const size_t wanted =
      std::min<size_t>(std::max<size_t>(kWindowBytes / block_size, 1), header_.file_blocks - block + 1);
  window_.resize(wanted * block_size);
  window_blocks_ = 0;
  const int64_t got = file_.ReadAt(header_.BlockOffset(block), window_.data(), window_.size());
  if (got < 0) Fail("ошибка чтения блока " + std::to_string(block) + ": " + Cp1251ToUtf8(SystemErrorText()));
  const size_t whole = static_cast<size_t>(got) / block_size;
  if (whole == 0) Fail("файл обрывается на блоке " + std::to_string(block));
  window_first_ = block;
  window_blocks_ = static_cast<int>(whole);
  return window_.data();
}

void ParadoxTable::WalkChain() {
  chain_.clear();
  record_count_ = 0;
  const int capacity = (header_.block_size - kBlockHeaderSize) / header_.record_size;
  std::vector<bool> visited(static_cast<size_t>(header_.file_blocks) + 1, false);
  for (int block = header_.first_block; block != 0;) {
    if (block > header_.file_blocks) Fail("ссылка на блок " + std::to_string(block) + " за пределами файла");
    if (visited[block]) Fail("цепочка блоков замыкается на блоке " + std::to_string(block));
    visited[block] = true;
    const uint8_t* data = Block(block);
    const int last_offset = static_cast<int16_t>(GetLe16(data + 4));
    int records = 0;
    if (last_offset >= 0) {
      if (last_offset % header_.record_size != 0 || last_offset / header_.record_size >= capacity) {
        Fail("недопустимое число записей в блоке " + std::to_string(block));
      }
      records = last_offset / header_.record_size + 1;
    }
    if (records > 0) {
      if (record_count_ > std::numeric_limits<uint32_t>::max() - static_cast<uint32_t>(records)) Fail("слишком много записей");
      chain_.push_back({static_cast<uint16_t>(block), static_cast<uint16_t>(records), record_count_});
      record_count_ += static_cast<uint32_t>(records);
    }
    block = GetLe16(data);
  }
}

CyrillicLetterCounts ParadoxTable::CountAlphaLetters() {
  // Enough letters to decide, or the first blocks of a table with few of them.
  constexpr int64_t kEnoughLetters = 4096;
  constexpr size_t kMostBlocks = 1024;
  CyrillicLetterCounts letters;
  const bool has_alpha = std::any_of(header_.fields.begin(), header_.fields.end(),
                                     [](const ParadoxField& f) { return f.type == ParadoxFieldType::kAlpha; });
  if (!has_alpha) return letters;  // nothing to count: no block need be read
  for (size_t c = 0; c < chain_.size() && c < kMostBlocks && letters.Total() < kEnoughLetters; ++c) {
    const uint8_t* block = Block(chain_[c].block);
    for (uint32_t slot = 0; slot < chain_[c].records; ++slot) {
      const uint8_t* record = block + kBlockHeaderSize + static_cast<size_t>(slot) * header_.record_size;
      for (const ParadoxField& f : header_.fields) {
        if (f.type == ParadoxFieldType::kAlpha) letters.Count(DecodeParadoxAlpha(record + f.offset, f.size));
      }
    }
  }
  return letters;
}

void ParadoxTable::ChooseCodePage() {
  code_page_ = ChooseParadoxCodePage(header_, CodePageNeedsTexts(header_) ? CountAlphaLetters() : CyrillicLetterCounts());
  text_losses_.assign(header_.fields.size(), 0);
  loss_counted_at_.assign(header_.fields.size(), 0);
  if (code_page_.Translated()) {
    for (ParadoxField& field : header_.fields) OemToAnsiInPlace(field.name.data(), field.name.size());
  }
}

void ParadoxTable::Translate(std::string& text, int field) const {
  if (OemToAnsiInPlaceCountingLosses(text.data(), text.size()) == 0) return;
  const uint32_t mark = CurrentOrdinal() + 1;
  if (loss_counted_at_[field] == mark) return;
  loss_counted_at_[field] = mark;
  ++text_losses_[field];
}

void ParadoxTable::ClearTextLosses() {
  // The marks stay: a record counted before the clear and read again does not count anew.
  std::fill(text_losses_.begin(), text_losses_.end(), 0);
}

void ParadoxTable::Position(size_t chain_index, uint32_t slot) {
  chain_index_ = chain_index;
  slot_ = slot;
  if (chain_index >= chain_.size()) {
    record_ = nullptr;
    return;
  }
  const uint8_t* block = Block(chain_[chain_index].block);
  record_ = block + kBlockHeaderSize + static_cast<size_t>(slot) * header_.record_size;
}

void ParadoxTable::PositionOrdinal(uint32_t ordinal) {
  auto it = std::upper_bound(chain_.begin(), chain_.end(), ordinal,
                             [](uint32_t n, const ParadoxChainBlock& b) { return n < b.first_record; });
  const size_t index = static_cast<size_t>(it - chain_.begin()) - 1;
  Position(index, ordinal - chain_[index].first_record);
}

void ParadoxTable::First() { Position(0, 0); }

void ParadoxTable::Next() {
  if (record_ == nullptr) return;
  if (slot_ + 1 < chain_[chain_index_].records) {
    // Same block: the window cannot have moved since the cursor was placed.
    ++slot_;
    record_ += header_.record_size;
  } else {
    Position(chain_index_ + 1, 0);
  }
}

int ParadoxTable::FindField(std::string_view name) const {
  const std::string wanted = UpperCp1251(name);
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    if (UpperCp1251(header_.fields[i].name) == wanted) return static_cast<int>(i);
  }
  return -1;
}

void ParadoxTable::BadFieldAccess(int field) const {
  if (record_ == nullptr) Fail("чтение поля за концом таблицы");
  Fail("нет поля с номером " + std::to_string(field));
}

bool ParadoxTable::IsNull(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  return IsParadoxNull(f.type, data, static_cast<size_t>(f.size));
}

int64_t ParadoxTable::AsInteger(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (IsParadoxIntegerType(f.type)) return DecodeParadoxInteger(data, f.size);
  if (IsParadoxNull(f.type, data, f.size)) return 0;
  switch (f.type) {
    case ParadoxFieldType::kLogical:
      return DecodeParadoxLogical(data) ? 1 : 0;
    case ParadoxFieldType::kNumber:
    case ParadoxFieldType::kMoney:
    case ParadoxFieldType::kTimestamp:
    case ParadoxFieldType::kBcd: {
      const double value = AsDouble(field);
      if (!(std::fabs(value) < 9.2e18)) FailCp1251(W("значение поля ") + f.name + W(" не умещается в целое"));
      return std::llround(value);
    }
    default:
      FailCp1251(W("поле ") + f.name + W(" типа ") + ParadoxTypeLetter(static_cast<uint8_t>(f.type)) +
                 W(" не читается как число"));
  }
}

double ParadoxTable::AsDouble(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (IsParadoxDoubleType(f.type)) return DecodeParadoxDouble(data);
  if (f.type == ParadoxFieldType::kBcd) {
    const std::string text = DecodeParadoxBcd(data);
    double value = 0.0;
    ReadDouble(text, value);
    return value;
  }
  return static_cast<double>(AsInteger(field));
}

bool ParadoxTable::AsLogical(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (f.type == ParadoxFieldType::kLogical) return DecodeParadoxLogical(data);
  if (IsParadoxNull(f.type, data, f.size)) return false;
  FailCp1251(W("поле ") + f.name + W(" не логическое"));
}

DateTime ParadoxTable::AsDateTime(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (IsParadoxNull(f.type, data, f.size)) return DateTime{0};
  switch (f.type) {
    case ParadoxFieldType::kDate:
      return OrdinalToDate(DecodeParadoxInteger(data, f.size));
    case ParadoxFieldType::kTime:
      return DateTime{DecodeParadoxInteger(data, f.size) / kParadoxMsPerDay};
    case ParadoxFieldType::kTimestamp: {
      const double days = DecodeParadoxDouble(data) / kParadoxMsPerDay;
      return DateTime{days + OrdinalToDate(0).value};
    }
    default:
      FailCp1251(W("поле ") + f.name + W(" не содержит даты"));
  }
}

std::string ParadoxTable::AsText(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (IsParadoxNull(f.type, data, f.size)) return {};
  switch (f.type) {
    case ParadoxFieldType::kAlpha: {
      std::string text(DecodeParadoxAlpha(data, f.size));
      if (code_page_.Translated()) Translate(text, field);
      return text;
    }
    case ParadoxFieldType::kBytes:
      return std::string(DecodeParadoxAlpha(data, f.size));
    case ParadoxFieldType::kBcd:
      return DecodeParadoxBcd(data);
    case ParadoxFieldType::kLogical:
      return DecodeParadoxLogical(data) ? "True" : "False";
    case ParadoxFieldType::kNumber:
    case ParadoxFieldType::kMoney:
      return FormatGeneral(DecodeParadoxDouble(data), 15);
    case ParadoxFieldType::kDate:
    case ParadoxFieldType::kTimestamp: {
      int year, month, day;
      DecodeDate(AsDateTime(field), year, month, day);
      char text[16];
      std::snprintf(text, sizeof text, "%02d.%02d.%04d", day, month, year);
      return text;
    }
    case ParadoxFieldType::kMemo:
    case ParadoxFieldType::kFormattedMemo: {
      std::string text = ReadBlob(field);
      if (code_page_.Translated()) Translate(text, field);
      return text;
    }
    default:
      if (IsParadoxBlobType(f.type)) return ReadBlob(field);
      return std::to_string(AsInteger(field));
  }
}

std::string ParadoxTable::ReadBlob(int field) const {
  const uint8_t* data = FieldData(field);
  const ParadoxField& f = header_.fields[field];
  if (!IsParadoxBlobType(f.type)) FailCp1251(W("поле ") + f.name + W(" не является примечанием"));
  const size_t leader = static_cast<size_t>(f.size - kParadoxBlobPointerSize);
  const ParadoxBlobPointer pointer = DecodeParadoxBlobPointer(data + leader);
  if (pointer.length == 0) return {};
  if (pointer.length <= leader) {
    // Short values live in the leader alone (a graphic never does: it has no leader text).
    return std::string(reinterpret_cast<const char*>(data), pointer.length);
  }
  if (!blobs_.IsOpen()) FailCp1251(W("поле ") + f.name + W(" хранится в файле примечаний, а его нет"));
  try {
    return blobs_.Read(pointer);
  } catch (const Exception& e) {
    throw Exception(W("Ошибка чтения таблицы ") + label_ + " (" + blobs_.Path() + W("), поле ") + f.name + ": " +
                    e.Message());
  }
}

bool ParadoxTable::Find(int field, int64_t key) {
  if (field < 0 || static_cast<size_t>(field) >= header_.fields.size()) Fail("нет поля с номером " + std::to_string(field));
  const ParadoxField& f = header_.fields[field];
  auto it = indexes_.find(field);
  if (it == indexes_.end()) {
    if (!IsParadoxIntegerType(f.type)) FailCp1251(W("поиск по полю ") + f.name + W(" не поддерживается"));
    // Integer fields hold at most four bytes.
    std::vector<std::pair<int32_t, uint32_t>> pairs;
    pairs.reserve(record_count_);
    uint32_t ordinal = 0;
    for (size_t c = 0; c < chain_.size(); ++c) {
      const uint8_t* block = Block(chain_[c].block);
      for (uint32_t slot = 0; slot < chain_[c].records; ++slot, ++ordinal) {
        const uint8_t* value = block + kBlockHeaderSize + static_cast<size_t>(slot) * header_.record_size + f.offset;
        if (IsParadoxNull(f.type, value, f.size)) continue;
        pairs.emplace_back(static_cast<int32_t>(DecodeParadoxInteger(value, f.size)), ordinal);
      }
    }
    it = indexes_.emplace(field, OrdinalIndex(std::move(pairs))).first;
  }
  const std::optional<uint32_t> found = it->second.Find(key);
  if (!found) {
    Position(chain_.size(), 0);
    return false;
  }
  PositionOrdinal(*found);
  return true;
}

}  // namespace ks
