#include "tools/paradox_writer.h"

extern "C" {
#include <paradox.h>
}
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "common/codepage.h"
#include "common/date_time.h"
#include "common/exception.h"

namespace ks {
namespace {

constexpr int kBlockHeader = 6;
constexpr int kMaxBlockKiB = 32;
constexpr long kMaxBlocks = 65535;     // the block numbers of the header are 16-bit
constexpr long kBlobBlock = 4096;

// A fixed "last changed" stamp in the packed DOS form: 15 March 2004, 10:00.
constexpr uint32_t kUpdateTime = ((uint32_t{(2004 - 1980) << 9 | 3 << 5 | 15}) << 16) | (10 << 11);

struct ErrorSink {
  std::string message;
};

void OnPxError(pxdoc_t*, int level, const char* msg, void* data) {
  if (level == PX_Warning) return;
  auto* sink = static_cast<ErrorSink*>(data);
  if (sink->message.empty()) sink->message = msg ? msg : "unknown pxlib error";
}

ErrorSink& SinkOf(pxdoc_t* doc) { return *static_cast<ErrorSink*>(doc->errorhandler_user_data); }

[[noreturn]] void Fail(const std::string& path, const std::string& what, pxdoc_t* doc = nullptr) {
  std::string text = path + ": " + what;
  if (doc && !SinkOf(doc).message.empty()) text += " (" + SinkOf(doc).message + ")";
  throw Exception(text);
}

char PxType(char kind) {
  switch (kind) {
    case 'I': return pxfLong;
    case 'S': return pxfShort;
    case 'A': return pxfAlpha;
    case 'N': return pxfNumber;
    case 'L': return pxfLogical;
    case 'D': return pxfDate;
    case 'M': return pxfMemoBLOb;
  }
  return 0;
}

int FixedSize(char kind, int declared) {
  switch (kind) {
    case 'I': case 'D': return 4;
    case 'S': return 2;
    case 'N': return 8;
    case 'L': return 1;
  }
  return declared;
}

}  // namespace

ParadoxTableWriter::ParadoxTableWriter(const std::string& path, const std::string& table_name,
                                       std::vector<ParadoxColumn> fields, int key_fields,
                                       const std::string& blob_path, long expected_records)
    : path_(path), blob_path_(blob_path), field_count_(fields.size()) {
  bool has_memo = false;
  int offset = 0;
  for (auto& f : fields) {
    if (!PxType(f.kind)) Fail(path, "field " + f.name + " has an unknown kind");
    f.size = FixedSize(f.kind, f.size);
    if (f.kind == 'A' && (f.size < 1 || f.size > 255)) Fail(path, "bad alpha width of " + f.name);
    if (f.kind == 'M' && (f.size < 11 || f.size > 250)) Fail(path, "bad memo size of " + f.name);
    has_memo |= f.kind == 'M';
    slots_[f.name] = Slot{f.kind, offset, f.size};
    offset += f.size;
  }
  if (has_memo && blob_path.empty()) Fail(path, "a table with memo fields needs a blob file");
  if (offset == 0 || offset > 2048 - kBlockHeader) Fail(path, "bad record size");
  record_.assign(offset, 0);
  int block_kib = 2;
  while (block_kib < kMaxBlockKiB && BlocksFor(expected_records, block_kib * 1024) > kMaxBlocks) block_kib *= 2;
  block_size_ = block_kib * 1024;
  check_long_key_ = key_fields == 1 && fields[0].kind == 'I';

  if (expected_records > 0) {
    // pxlib rereads block headers through its stream for every record; kept in memory that
    // costs no system calls. The image is written to the file on close.
    capacity_ = expected_records;
    image_.resize(2048 + static_cast<size_t>(BlocksFor(expected_records, block_size_) + 1) * block_size_);
    memory_ = fmemopen(image_.data(), image_.size(), "w+");
    if (!memory_) Fail(path, "cannot make the table image");
  }

  auto* sink = new ErrorSink;
  doc_ = PX_new3(OnPxError, nullptr, nullptr, nullptr, sink);
  if (!doc_) {
    delete sink;
    if (memory_) std::fclose(memory_);
    memory_ = nullptr;
    Fail(path, "pxlib could not start");
  }
  // pxlib takes ownership of the field array and the names in it.
  auto* pxf = static_cast<pxfield_t*>(doc_->malloc(doc_, sizeof(pxfield_t) * fields.size(), "fields"));
  for (size_t i = 0; i < fields.size(); ++i) {
    pxf[i].px_fname = PX_strdup(doc_, fields[i].name.c_str());
    pxf[i].px_ftype = PxType(fields[i].kind);
    pxf[i].px_flen = fields[i].size;
    pxf[i].px_fdc = 0;
  }
  const int type = key_fields > 0 ? pxfFileTypIndexDB : pxfFileTypNonIndexDB;
  const int created =
      memory_ ? PX_create_fp(doc_, pxf, static_cast<int>(fields.size()), memory_, type)
              : PX_create_file(doc_, pxf, static_cast<int>(fields.size()), path.c_str(), type);
  if (created < 0) {
    const std::string reason = sink->message;
    PX_delete(doc_);
    doc_ = nullptr;
    delete sink;
    if (memory_) std::fclose(memory_);
    memory_ = nullptr;
    Fail(path, "cannot create the table (" + reason + ")");
  }
  if (key_fields > 0 && PX_set_value(doc_, "numprimkeys", static_cast<float>(key_fields)) < 0) {
    Release();
    Fail(path, "cannot set the primary key");
  }
  // pxlib offers no setting for the block size; its header field is read when blocks are made.
  doc_->px_head->px_maxtablesize = block_kib;
  PX_set_value(doc_, "codepage", 1251);
  PX_set_tablename(doc_, table_name.c_str());

  if (has_memo) {
    blob_ = PX_new_blob(doc_);
    if (!blob_ || PX_create_blob_file(blob_, blob_path.c_str()) < 0) {
      Release();
      Fail(blob_path, "cannot create the blob file");
    }
    doc_->px_blob = blob_;
  }
}

ParadoxTableWriter::~ParadoxTableWriter() { Release(); }

void ParadoxTableWriter::Release() {
  if (!doc_) return;
  ErrorSink* sink = &SinkOf(doc_);
  if (blob_) {
    // The blob file is finished first and detached, so that closing the table leaves it be.
    PX_close_blob(blob_);
    doc_->px_blob = nullptr;
    PX_delete_blob(blob_);
    blob_ = nullptr;
  }
  PX_close(doc_);
  PX_delete(doc_);
  if (memory_) {
    std::fclose(memory_);
    memory_ = nullptr;
  }
  delete sink;
  doc_ = nullptr;
}

long ParadoxTableWriter::BlocksFor(long records, int block_size) const {
  const long per_block = (block_size - kBlockHeader) / static_cast<long>(record_.size());
  return (records + per_block - 1) / per_block;
}

const ParadoxTableWriter::Slot& ParadoxTableWriter::Find(std::string_view field, char kind) const {
  auto it = slots_.find(std::string(field));
  if (it == slots_.end()) Fail(path_, "no field " + std::string(field));
  if (it->second.kind != kind)
    Fail(path_, "field " + std::string(field) + " is not of kind " + std::string(1, kind));
  return it->second;
}

void ParadoxTableWriter::SetLong(std::string_view field, int32_t value) {
  const Slot& s = Find(field, 'I');
  PX_put_data_long(doc_, record_.data() + s.offset, s.size, value);
}

void ParadoxTableWriter::SetShort(std::string_view field, int16_t value) {
  const Slot& s = Find(field, 'S');
  PX_put_data_short(doc_, record_.data() + s.offset, s.size, value);
}

void ParadoxTableWriter::SetCodePage(int code_page) {
  if (code_page != 1251 && code_page != 866) Fail(path_, "code page " + std::to_string(code_page) + " is not written");
  if (record_count_ > 0) Fail(path_, "the code page is set before the first record");
  oem_texts_ = code_page == 866;
  PX_set_value(doc_, "codepage", static_cast<float>(code_page));
}

void ParadoxTableWriter::SetText(std::string_view field, std::string_view text) {
  const Slot& s = Find(field, 'A');
  const std::string oem = oem_texts_ ? AnsiToOem(text) : std::string();
  if (oem_texts_) text = oem;
  // Alpha values are NUL padded; a NUL inside the text would end it early, so none is kept.
  char* out = record_.data() + s.offset;
  std::memset(out, 0, s.size);
  size_t n = 0;
  for (char c : text) {
    if (n == static_cast<size_t>(s.size)) break;
    if (c != '\0') out[n++] = c;
  }
}

void ParadoxTableWriter::SetNumber(std::string_view field, double value) {
  const Slot& s = Find(field, 'N');
  PX_put_data_double(doc_, record_.data() + s.offset, s.size, value);
}

void ParadoxTableWriter::SetLogical(std::string_view field, bool value) {
  const Slot& s = Find(field, 'L');
  record_[s.offset] = static_cast<char>(value ? 0x81 : 0x80);
}

void ParadoxTableWriter::SetDate(std::string_view field, int year, int month, int day) {
  const Slot& s = Find(field, 'D');
  DateTime date;
  if (!TryEncodeDate(year, month, day, date)) Fail(path_, "bad date for " + std::string(field));
  PX_put_data_long(doc_, record_.data() + s.offset, s.size, DateToOrdinal(date));
}

void ParadoxTableWriter::SetMemo(std::string_view field, std::string_view text) {
  const Slot& s = Find(field, 'M');
  char* out = record_.data() + s.offset;
  std::memset(out, 0, s.size);
  if (text.empty()) return;
  std::string copy = oem_texts_ ? AnsiToOem(text) : std::string(text);  // pxlib takes a non-const pointer
  if (PX_put_data_blob(doc_, out, s.size, copy.data(), static_cast<int>(copy.size())) < 0)
    Fail(path_, "cannot store the memo of " + std::string(field), doc_);
}

void ParadoxTableWriter::Append() {
  if (!doc_) Fail(path_, "the table is closed");
  if (check_long_key_) {
    long key = 0;
    PX_get_data_long(doc_, record_.data(), 4, &key);
    if (key <= last_key_) Fail(path_, "records of a keyed table must come in key order");
    last_key_ = key;
  }
  if (BlocksFor(record_count_ + 1L, block_size_) > kMaxBlocks) Fail(path_, "too many records for one table");
  if (capacity_ > 0 && record_count_ >= capacity_) Fail(path_, "more records than announced");
  if (PX_put_record(doc_, record_.data()) < 0) Fail(path_, "cannot write a record", doc_);
  ++record_count_;
  std::fill(record_.begin(), record_.end(), 0);
}

void ParadoxTableWriter::Close() {
  if (!doc_) return;
  const std::string pending = SinkOf(doc_).message;
  Release();
  if (!pending.empty()) Fail(path_, pending);
  if (!image_.empty()) WriteImage();
  MakeDeterministic();
}

void ParadoxTableWriter::WriteImage() {
  // The file ends after the last block the header counts.
  const auto* bytes = reinterpret_cast<const uint8_t*>(image_.data());
  const size_t header_size = GetLe16(bytes + 2);
  const size_t file_blocks = GetLe16(bytes + 0x0C);
  const size_t size = std::min(image_.size(), header_size + file_blocks * block_size_);
  std::FILE* f = std::fopen(path_.c_str(), "wb");
  if (!f) Fail(path_, "cannot create the table");
  const bool ok = std::fwrite(image_.data(), 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) Fail(path_, "cannot write the table");
  std::vector<char>().swap(image_);
}

void ParadoxTableWriter::MakeDeterministic() const {
  // Header bytes that pxlib fills from its own memory (pointers the original engine keeps
  // at run time) or from the clock. Offsets follow the level 4+ header it writes.
  std::FILE* f = std::fopen(path_.c_str(), "r+b");
  if (!f) Fail(path_, "cannot reopen the table");
  auto put = [&](long offset, const void* bytes, size_t size) {
    if (std::fseek(f, offset, SEEK_SET) != 0 || std::fwrite(bytes, 1, size, f) != size) {
      std::fclose(f);
      Fail(path_, "cannot rewrite the header");
    }
  };
  const char zeros[8] = {};
  put(0x16, zeros, 8);
  put(0x30, zeros, 8);
  put(0x54, zeros, 4);
  uint8_t stamp[4];
  PutLe32(stamp, kUpdateTime);
  put(0x60, stamp, 4);
  // After the field types: the table-name pointer and one pointer per field name.
  const long pointers = 0x78 + 2 * static_cast<long>(field_count_);
  for (size_t i = 0; i <= field_count_; ++i) put(pointers + 4 * static_cast<long>(i), zeros, 4);
  if (std::fclose(f) != 0) Fail(path_, "cannot rewrite the header");

  if (blob_path_.empty()) return;
  // pxlib stops the file at the end of the last blob; the format has whole 4 KiB blocks.
  struct stat st {};
  if (::stat(blob_path_.c_str(), &st) != 0) Fail(blob_path_, "cannot stat the blob file");
  const off_t padded = (st.st_size + kBlobBlock - 1) / kBlobBlock * kBlobBlock;
  if (padded != st.st_size && ::truncate(blob_path_.c_str(), padded) != 0)
    Fail(blob_path_, "cannot pad the blob file");
}

}  // namespace ks
