#include "db/engine/xbase/cdx_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <numeric>
#include <random>

#include "common/byte_order.h"
#include "db/engine/xbase/dbf_table.h"
#include "db/engine/xbase/table_files.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase {

// ---- key encoding ----------------------------------------------------------------------

void EncodeDouble(double value, uint8_t* out) {
  if (value == 0) value = 0;  // -0 becomes +0
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  if (value >= 0 || value != value) {
    bits ^= uint64_t(1) << 63;
  } else {
    bits = ~bits;
  }
  PutBe64(out, bits);
}

double DecodeDouble(const uint8_t* in) {
  uint64_t bits = GetBe64(in);
  if (bits & (uint64_t(1) << 63)) {
    bits ^= uint64_t(1) << 63;
  } else {
    bits = ~bits;
  }
  double value;
  std::memcpy(&value, &bits, 8);
  return value;
}

// ---- one tag ---------------------------------------------------------------------------

Tag::Tag(TagDefinition definition, std::unique_ptr<Expression> key, std::unique_ptr<Expression> filter, size_t key_len)
    : definition_(std::move(definition)),
      key_(std::move(key)),
      filter_(std::move(filter)),
      keys_(key_len),
      appended_(key_len + 4) {}

void Tag::Settle() const {
  if (!appended_.Empty()) {
    // A failed read keeps the runs; entries already moved are not added twice.
    if (appended_.Merge([&](const uint8_t* entry) {
          keys_.Add(entry);
          return 0;
        }) == 0) {
      appended_.Clear();
    }
  }
  keys_.Settle();
}

bool Tag::EndRecNo(bool first, uint32_t* recno) const {
  keys_.Settle();
  const bool smallest = first != definition_.descending;
  const uint8_t* best = nullptr;
  if (keys_.Count() != 0) best = keys_.At(smallest ? keys_.Begin() : keys_.Last());
  if (const uint8_t* other = smallest ? appended_.Smallest() : appended_.Largest()) {
    const int order = best ? KeyList::Compare(other, best, keys_.EntrySize()) : -1;
    if (!best || (smallest ? order < 0 : order > 0)) best = other;
  }
  if (!best) return false;
  *recno = KeyList::RecNo(best, keys_.KeyLen());
  return true;
}

int Tag::ForEachEntry(const std::function<int(const uint8_t*)>& visit) const {
  if (!appended_.Empty() && keys_.Count() == 0 && keys_.Settled()) {
    const int rc = appended_.Merge(visit);
    return rc == -1 ? e4read : rc;
  }
  const KeyList& keys = Keys();
  for (KeyList::Pos p = keys.Begin(); !keys.IsEnd(p); p = keys.Next(p)) {
    if (const int rc = visit(keys.At(p)); rc != 0) return rc;
  }
  return 0;
}

std::unique_ptr<Tag> Tag::Make(const TagDefinition& definition, const std::vector<FieldDef>& fields, std::string* error) {
  if (definition.name.empty() || definition.name.size() > 10) {
    *error = "bad tag name";
    return nullptr;
  }
  auto key = Expression::Parse(definition.expression, fields, error);
  if (!key) return nullptr;
  std::unique_ptr<Expression> filter;
  if (definition.filter.find_first_not_of(' ') != std::string::npos) {
    filter = Expression::Parse(definition.filter, fields, error);
    if (!filter) return nullptr;
    if (filter->Type() != 'L') {
      *error = "the filter is not a logical expression";
      return nullptr;
    }
  }
  size_t key_len = 0;
  switch (key->Type()) {
    case 'C': key_len = size_t(key->Length()); break;
    case 'N':
    case 'D': key_len = 8; break;
    default: key_len = 1; break;
  }
  if (key_len < 1 || key_len > 240) {
    *error = "the key is longer than 240 bytes or empty";
    return nullptr;
  }
  return std::unique_ptr<Tag>(new Tag(definition, std::move(key), std::move(filter), key_len));
}

void Tag::MakeKey(const char* record, uint8_t* out) const {
  const size_t len = keys_.KeyLen();
  if (key_->Type() == 'C') return key_->EvaluateText(record, out, len);
  const Value v = key_->Evaluate(record);
  switch (v.type) {
    case 'C': {
      const size_t n = std::min(len, v.text.size());
      std::memcpy(out, v.text.data(), n);
      std::memset(out + n, ' ', len - n);
      break;
    }
    case 'N':
    case 'D': EncodeDouble(v.number, out); break;
    default: out[0] = v.logical ? 'T' : 'F'; break;
  }
}

bool Tag::MakeEntry(const char* record, uint32_t recno, uint8_t* entry) const {
  if (filter_ && !filter_->Evaluate(record).logical) return false;
  MakeKey(record, entry);
  KeyList::PutRecNo(entry, keys_.KeyLen(), recno);
  return true;
}

std::string Tag::SeekKey(std::string_view text) const {
  uint8_t buf[8];
  switch (key_->Type()) {
    case 'C': return std::string(text.substr(0, std::min(text.size(), keys_.KeyLen())));
    case 'N': EncodeDouble(ParseNumber(text.data(), text.size()), buf); break;
    case 'D': EncodeDouble(DateToJulian(text), buf); break;
    default: {
      const char c = text.empty() ? 'F' : text[0];
      return std::string(1, (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 'T' : 'F');
    }
  }
  return std::string(reinterpret_cast<char*>(buf), 8);
}

bool Tag::Update(const char* old_record, const char* new_record, uint32_t recno) {
  uint8_t old_entry[256], new_entry[256];
  const size_t size = keys_.EntrySize();
  const bool old_in = old_record && MakeEntry(old_record, recno, old_entry);
  const bool new_in = MakeEntry(new_record, recno, new_entry);
  if (old_in && new_in && std::memcmp(old_entry, new_entry, size) == 0) return false;
  if (!old_in && !new_in) return false;
  if (old_in) {
    Settle();  // the old entry may still wait among the appended ones
    keys_.Erase(old_entry);
  }
  if (new_in) {
    if (!old_record && !definition_.unique) {
      appended_.Add(new_entry);  // appends: placed in bulk later
      return true;
    }
    if (definition_.unique) {
      Settle();
      // One entry per key: the first record keeps it.
      const KeyList::Pos p = keys_.LowerBound(new_entry, keys_.KeyLen());
      if (!keys_.IsEnd(p) && std::memcmp(keys_.At(p), new_entry, keys_.KeyLen()) == 0) return true;
    }
    keys_.Insert(new_entry);
  }
  return true;
}

// ---- the compound index ----------------------------------------------------------------

Tag* CompoundIndex::Find(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  for (auto& tag : tags_) {
    if (tag->Name() == upper) return tag.get();
  }
  return nullptr;
}

void CompoundIndex::OnChange(const char* old_record, const char* new_record, uint32_t recno) {
  for (auto& tag : tags_) {
    if (tag->Update(old_record, new_record, recno)) dirty_ = true;
  }
}

void CompoundIndex::LimitKeyMemory(size_t bytes) {
  if (tags_.empty()) return;
  // A name of its own for every open index, so that two processes on one table do not meet.
  std::random_device random;
  char token[16];
  std::snprintf(token, sizeof token, "%08x", unsigned(random()));
  // Each tag holds two buffers while a full one is sorted and written out: half each. The
  // tags fill up together; their runs are sorted one at a time.
  const auto one_at_a_time = std::make_shared<std::mutex>();
  for (size_t t = 0; t < tags_.size(); ++t) {
    tags_[t]->SpillTo(SpillFileName(path_, token, t), bytes / tags_.size() / 2, one_at_a_time);
  }
}

int CompoundIndex::Flush() { return dirty_ ? Write() : 0; }

int CompoundIndex::Create(const std::string& path, const std::vector<TagDefinition>& definitions, DbfTable& table,
                          std::unique_ptr<CompoundIndex>* out) {
  std::unique_ptr<CompoundIndex> index(new CompoundIndex());
  index->path_ = path;
  for (const TagDefinition& definition : definitions) {
    std::string error;
    auto tag = Tag::Make(definition, table.Fields(), &error);
    if (!tag || index->Find(definition.name)) return e4parm;
    index->tags_.push_back(std::move(tag));
  }
  if (index->tags_.size() > 30) return e4parm;  // the tag directory is one page

  // Every record's entries, sorted, then loaded in order.
  std::vector<char> record(table.RecordWidth());
  std::vector<std::vector<uint8_t>> entries(index->tags_.size());
  for (uint32_t recno = 1; recno <= table.RecordCount(); ++recno) {
    if (const int rc = table.ReadRecord(recno, record.data()); rc != 0) return rc;
    for (size_t t = 0; t < index->tags_.size(); ++t) {
      const Tag& tag = *index->tags_[t];
      uint8_t entry[256];
      if (tag.MakeEntry(record.data(), recno, entry)) entries[t].insert(entries[t].end(), entry, entry + tag.Keys().EntrySize());
    }
  }
  for (size_t t = 0; t < index->tags_.size(); ++t) {
    Tag& tag = *index->tags_[t];
    const size_t size = tag.Keys().EntrySize();
    const size_t key_len = tag.KeyLen();
    const uint8_t* base = entries[t].data();
    std::vector<uint32_t> order(entries[t].size() / size);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return std::memcmp(base + size_t(a) * size, base + size_t(b) * size, size) < 0;
    });
    const uint8_t* previous = nullptr;
    for (uint32_t i : order) {
      const uint8_t* entry = base + size_t(i) * size;
      if (tag.Definition().unique && previous && std::memcmp(previous, entry, key_len) == 0) continue;
      tag.Keys().PushBack(entry);
      previous = entry;
    }
  }
  if (!index->file_.Open(path, File::Mode::kCreate)) return e4create;
  if (const int rc = index->Write(); rc != 0) return rc;
  *out = std::move(index);
  return 0;
}

int CompoundIndex::Open(const std::string& path, const std::vector<FieldDef>& fields,
                        std::unique_ptr<CompoundIndex>* out) {
  std::unique_ptr<CompoundIndex> index(new CompoundIndex());
  index->path_ = path;
  if (!index->file_.Open(path, File::Mode::kReadWrite)) {
    return errno == ENOENT || errno == ENOTDIR ? e4fileFind : e4open;
  }
  if (const int rc = index->Read(fields); rc != 0) return rc;
  *out = std::move(index);
  return 0;
}

}  // namespace ks::xbase
