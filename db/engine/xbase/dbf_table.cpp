#include "db/engine/xbase/dbf_table.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/paths.h"
#include "common/platform.h"

#include "common/byte_order.h"
#include "db/engine/xbase/cdx_index.h"
#include "db/engine/xbase/memo_file.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase {
namespace {

constexpr uint8_t kEof = kDbfEndOfFile;
// Record locks live one byte per record in this range, far beyond any real data.
constexpr uint64_t kLockBase = uint64_t(1) << 40;

// NAME.dbf -> NAME.fpt (or .cdx), keeping the case of the extension.
std::string SiblingPath(const std::string& path, const char* lower_ext) {
  const size_t slash = LastDelimiter(path);
  const size_t dot = path.rfind('.');
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  const bool upper = dot != std::string::npos && dot + 1 < path.size() && path[dot + 1] >= 'A' && path[dot + 1] <= 'Z';
  std::string ext = lower_ext;
  if (upper) {
    for (char& c : ext) c = char(c - 'a' + 'A');
  }
  return base + "." + ext;
}

bool ValidField(const FieldDef& f) {
  if (f.name.empty()) return false;
  switch (f.type) {
    case 'C': return f.len >= 1 && f.len <= 254 && f.dec == 0;
    case 'N':
    case 'F': return f.len >= 1 && f.len <= 20 && f.dec >= 0 && (f.dec == 0 || f.dec <= f.len - 2);
    case 'D': return f.len == 8;
    case 'L': return f.len == 1;
    case 'M': return f.len == 10;
  }
  return false;
}

}  // namespace

DbfTable::~DbfTable() {
  if (holds_locks_) UnlockAll();
}

int DbfTable::FieldIndex(std::string_view name) const {
  std::string upper(name.substr(0, std::min<size_t>(name.size(), 10)));
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == upper) return int(i);
  }
  return -1;
}

std::string DbfTable::IndexPath() const { return SiblingPath(path_, "cdx"); }

int DbfTable::Create(const std::string& path, std::vector<FieldDef> fields, bool overwrite,
                     std::unique_ptr<DbfTable>* out) {
  if (fields.empty() || fields.size() > 255) return e4parm;
  bool has_memo = false;
  uint32_t offset = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldDef& f = fields[i];
    for (char& c : f.name) {
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    if (f.name.size() > 10) f.name.resize(10);
    if (f.type == 'M') f.len = 10;  // the block number as ten characters
    if (f.type == 'D') f.len = 8;
    if (f.type == 'L') f.len = 1;
    if (f.type != 'N' && f.type != 'F') f.dec = 0;
    if (!ValidField(f)) return e4parm;
    for (size_t j = 0; j < i; ++j) {
      if (fields[j].name == f.name) return e4parm;
    }
    f.offset = int(offset);
    offset += uint32_t(f.len);
    has_memo = has_memo || f.type == 'M';
  }
  if (!overwrite && FileExists(path)) return e4create;

  std::unique_ptr<DbfTable> table(new DbfTable());
  table->path_ = path;
  table->fields_ = std::move(fields);
  table->version_ = has_memo ? 0xF5 : 0x03;
  table->header_len_ = uint32_t(32 + 32 * table->fields_.size() + 1);
  table->record_width_ = offset;
  if (offset > 65535) return e4parm;
  if (!table->file_.Open(path, File::Mode::kCreate)) return e4create;

  std::vector<uint8_t> header(table->header_len_ + 1, 0);
  for (size_t i = 0; i < table->fields_.size(); ++i) {
    const FieldDef& f = table->fields_[i];
    uint8_t* d = header.data() + 32 + 32 * i;
    std::memcpy(d, f.name.data(), f.name.size());
    d[11] = uint8_t(f.type);
    PutLe32(d + 12, uint32_t(f.offset));
    d[16] = uint8_t(f.len);
    d[17] = uint8_t(f.dec);
  }
  header[table->header_len_ - 1] = 0x0D;
  header[table->header_len_] = kEof;
  if (!table->file_.WriteAt(0, header.data(), header.size())) {
    table->file_.Close();
    RemoveFile(path);
    return e4create;
  }
  table->header_dirty_ = true;
  if (const int rc = table->WriteHeader(); rc != 0) return e4create;
  if (has_memo) {
    if (const int rc = MemoFile::Create(SiblingPath(path, "fpt"), &table->memo_); rc != 0) return rc;
  }
  table->tail_.Reset(table->header_len_);
  *out = std::move(table);
  return 0;
}

int DbfTable::Open(const std::string& path, std::unique_ptr<DbfTable>* out) {
  std::unique_ptr<DbfTable> table(new DbfTable());
  table->path_ = path;
  if (!table->file_.Open(path, File::Mode::kReadWrite)) {
    return errno == ENOENT || errno == ENOTDIR ? e4fileFind : e4open;
  }
  const int64_t size = table->file_.Size();
  DbfHeader header;
  if (const int rc = ReadHeader(table->file_, size, &header); rc != 0) return rc;
  table->version_ = header.version;
  table->count_ = header.record_count;
  table->header_len_ = header.header_length;
  table->record_width_ = header.record_width;
  table->flags_ = header.flags;
  table->code_page_ = header.code_page;

  std::vector<uint8_t> descriptors(table->header_len_ - 32);
  if (!table->file_.ReadExactAt(32, descriptors.data(), descriptors.size())) return e4read;
  uint32_t offset = 1;
  bool has_memo = false;
  for (size_t pos = 0; pos + 32 <= descriptors.size() && descriptors[pos] != 0x0D; pos += 32) {
    const uint8_t* d = descriptors.data() + pos;
    FieldDef f;
    f.name.assign(reinterpret_cast<const char*>(d), strnlen(reinterpret_cast<const char*>(d), 11));
    f.type = char(d[11]);
    f.len = d[16];
    f.dec = d[17];
    if (f.type != 'N' && f.type != 'F') f.dec = 0;
    if (f.name.empty() || f.len == 0) return e4data;
    if (f.type == 'M' && f.len != 10) return e4data;  // binary memo pointers are not ours
    f.offset = int(offset);
    offset += uint32_t(f.len);
    has_memo = has_memo || f.type == 'M';
    table->fields_.push_back(std::move(f));
  }
  if (table->fields_.empty() || offset != table->record_width_) return e4data;
  const uint64_t data_end = uint64_t(table->header_len_) + uint64_t(table->count_) * table->record_width_;
  if (data_end > uint64_t(size)) return e4data;  // truncated: fewer records than the header says
  if (has_memo) {
    if (const int rc = MemoFile::Open(SiblingPath(path, "fpt"), &table->memo_); rc != 0) return rc;
  }
  table->tail_.Reset(data_end);
  *out = std::move(table);
  return 0;
}

int DbfTable::ReadHeader(const File& file, int64_t size, DbfHeader* out) {
  if (size < 0) return e4read;
  if (size < 32) return e4data;
  uint8_t head[32];
  if (!file.ReadExactAt(0, head, 32)) return e4read;
  DbfHeader header;
  header.version = head[0];
  if (header.version != 0x03 && header.version != 0xF5 && header.version != 0x83 && header.version != 0x30 &&
      header.version != 0x31) {
    return e4data;
  }
  header.record_count = GetLe32(head + 4);
  header.header_length = GetLe16(head + 8);
  header.record_width = GetLe16(head + 10);
  header.flags = head[kDbfFlagsOffset];
  header.code_page = head[29];
  if (header.header_length < 33 || header.header_length > uint64_t(size) || header.record_width < 2) return e4data;
  *out = header;
  return 0;
}

int DbfTable::ReadRecord(uint32_t recno, char* record) const {
  if (recno < 1 || recno > count_) return e4parm;
  const uint64_t offset = RecordOffset(recno);
  if (tail_.Read(offset, record, record_width_)) return 0;
  return read_ahead_.ReadExact(file_, offset, record, record_width_, tail_.Base()) ? 0 : e4read;
}

int DbfTable::WriteRecord(uint32_t recno, const char* record) {
  if (recno < 1 || recno > count_) return e4parm;
  std::vector<char> old;
  if (index_) {
    old.resize(record_width_);
    if (const int rc = ReadRecord(recno, old.data()); rc != 0) return rc;
  }
  const uint64_t offset = RecordOffset(recno);
  read_ahead_.Drop();
  if (!tail_.Overwrite(offset, record, record_width_) && !file_.WriteAt(offset, record, record_width_)) {
    return e4write;
  }
  header_dirty_ = true;
  if (index_) index_->OnChange(old.data(), record, recno);
  return 0;
}

int DbfTable::AppendRecord(const char* record, uint32_t* recno) {
  if (count_ == 0xFFFFFFFEu) return e4write;
  if (tail_.End() != RecordOffset(count_ + 1)) return e4data;
  tail_.Append(record, record_width_);
  ++count_;
  *recno = count_;
  header_dirty_ = true;
  if (index_) index_->OnChange(nullptr, record, count_);
  if (tail_.Full()) {
    if (!tail_.WriteTo(file_, &kEof, 1)) return e4write;
    if (const int rc = WriteHeader(); rc != 0) return rc;
  }
  return 0;
}

int DbfTable::WriteHeader() {
  if (!header_dirty_) return 0;
  uint8_t head[32] = {};
  const std::tm tm = LocalTime(std::time(nullptr));
  head[0] = version_;
  head[1] = uint8_t(tm.tm_year);
  head[2] = uint8_t(tm.tm_mon + 1);
  head[3] = uint8_t(tm.tm_mday);
  PutLe32(head + 4, count_);
  PutLe16(head + 8, header_len_);
  PutLe16(head + 10, record_width_);
  head[kDbfFlagsOffset] = flags_;
  head[29] = code_page_;
  if (!file_.WriteAt(0, head, sizeof head)) return e4write;
  header_dirty_ = false;
  return 0;
}

int DbfTable::Flush() {
  int rc = 0;
  if (!tail_.Empty() && !tail_.WriteTo(file_, &kEof, 1)) rc = e4write;
  if (rc == 0) rc = WriteHeader();
  if (memo_) {
    if (const int m = memo_->Flush(); m != 0 && rc == 0) rc = m;
  }
  if (index_) {
    if (const int i = index_->Flush(); i != 0 && rc == 0) rc = i;
  }
  return rc;
}

int DbfTable::RefreshCount() {
  read_ahead_.Drop();  // another process may have changed records since
  if (!tail_.Empty()) {
    if (!tail_.WriteTo(file_, &kEof, 1)) return e4write;
  }
  uint8_t count[4];
  if (!file_.ReadExactAt(4, count, 4)) return e4read;
  const uint32_t on_disk = GetLe32(count);
  if (on_disk > count_) {
    const int64_t size = file_.Size();
    if (size < 0 || RecordOffset(on_disk + 1) > uint64_t(size)) return e4data;
    count_ = on_disk;
    tail_.Reset(RecordOffset(count_ + 1));
  }
  return 0;
}

void DbfTable::SetIndex(std::unique_ptr<CompoundIndex> index) { index_ = std::move(index); }

int DbfTable::SetIndexFlag(bool on) {
  const uint8_t flags = on ? uint8_t(flags_ | 0x01) : uint8_t(flags_ & ~0x01);
  if (flags == flags_) return 0;
  if (!file_.WriteAt(kDbfFlagsOffset, &flags, 1)) return e4write;
  flags_ = flags;
  return 0;
}

int DbfTable::Lock(uint32_t recno) {
  read_ahead_.Drop();  // the locked record is read fresh from the file
  switch (file_.LockRange(kLockBase + recno, 1)) {
    case File::LockResult::kLocked: break;
    case File::LockResult::kHeldElsewhere: return r4locked;
    case File::LockResult::kFailed: return e4read;
  }
  holds_locks_ = true;
  return 0;
}

int DbfTable::UnlockAll() {
  if (!holds_locks_) return 0;
  holds_locks_ = false;
  return file_.UnlockRanges() ? 0 : e4read;
}

}  // namespace ks::xbase
