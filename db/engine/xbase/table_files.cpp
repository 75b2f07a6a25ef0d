#include "db/engine/xbase/table_files.h"

#include <cerrno>

#include "common/codepage.h"
#include "common/file.h"
#include "db/engine/xbase/memo_file.h"
#include "db/engine/xbase/xbase.h"

namespace ks::xbase {
namespace {

// NAME.dbf -> NAME.ext, in the case of the table file's extension.
std::string Beside(const std::string& dbf_path, const char* lower_ext) {
  std::string ext = lower_ext;
  const size_t dot = dbf_path.rfind('.');
  const bool upper = dot != std::string::npos && dot + 1 < dbf_path.size() && dbf_path[dot + 1] >= 'A' &&
                     dbf_path[dot + 1] <= 'Z';
  if (upper) {
    for (char& c : ext) c = char(c - 'a' + 'A');
  }
  return (dot != std::string::npos ? dbf_path.substr(0, dot) : dbf_path) + "." + ext;
}

int OpenTableFile(const std::string& path, File::Mode mode, File* file, DbfHeader* header, int64_t* size) {
  if (!file->Open(path, mode)) return errno == ENOENT || errno == ENOTDIR ? e4fileFind : e4open;
  *size = file->Size();
  return DbfTable::ReadHeader(*file, *size, header);
}

bool AllHex(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

int ReadTableHeader(const std::string& dbf_path, DbfHeader* out) {
  File file;
  int64_t size = 0;
  return OpenTableFile(dbf_path, File::Mode::kReadOnly, &file, out, &size);
}

int ClearStructuralIndexFlag(const std::string& dbf_path) {
  File file;
  DbfHeader header;
  int64_t size = 0;
  if (const int rc = OpenTableFile(dbf_path, File::Mode::kReadWrite, &file, &header, &size); rc != 0) return rc;
  if (!header.StructuralIndex()) return 0;
  const uint8_t flags = uint8_t(header.flags & ~0x01);
  return file.WriteAt(kDbfFlagsOffset, &flags, 1) ? 0 : e4write;
}

int InspectTableFiles(const std::string& dbf_path, std::vector<TableFileFault>* faults) {
  File file;
  DbfHeader header;
  int64_t size = 0;
  if (const int rc = OpenTableFile(dbf_path, File::Mode::kReadOnly, &file, &header, &size); rc != 0) return rc;
  const std::string index = Beside(dbf_path, "cdx");
  if (header.StructuralIndex() && !FileExists(index)) {
    faults->push_back({TableFileFault::Kind::kMissingIndex, index, 0, 0});
  }
  const uint64_t end = header.DataEnd();
  const uint64_t actual = uint64_t(size);
  if (actual < end || actual > end + 1) {
    faults->push_back({TableFileFault::Kind::kRecordCount, dbf_path, end + 1, actual});
  } else {
    uint8_t mark = 0;
    const int64_t got = actual == end ? 0 : file.ReadAt(end, &mark, 1);
    if (got < 0) return e4read;
    if (got == 0 || mark != kDbfEndOfFile) faults->push_back({TableFileFault::Kind::kNoEndMark, dbf_path, end + 1, actual});
  }
  const std::string memo_path = Beside(dbf_path, "fpt");
  File memo;
  if (memo.Open(memo_path, File::Mode::kReadOnly)) {
    uint32_t next_free = 0;
    uint32_t block_size = 0;
    if (const int rc = MemoFile::ReadHeader(memo, &next_free, &block_size); rc != 0) return rc;
    const int64_t memo_size = memo.Size();
    if (memo_size < 0) return e4read;
    const uint64_t needed = uint64_t(next_free) * block_size;
    if (needed > uint64_t(memo_size)) {
      faults->push_back({TableFileFault::Kind::kMemoNextFree, memo_path, needed, uint64_t(memo_size)});
    }
  } else if (errno != ENOENT) {
    return e4open;
  }
  return 0;
}

std::string SpillFileName(const std::string& index_path, const std::string& token, size_t tag) {
  return index_path + "-" + token + "-" + std::to_string(tag) + ".tmp";
}

bool IsSpillFileName(const std::string& name) {
  // NAME.cdx-TOKEN-TAG.tmp, the extensions in any case
  const std::string upper = UpperCp1251(name);
  const size_t cdx = upper.rfind(".CDX-");
  if (cdx == std::string::npos || cdx == 0 || upper.size() < 4 || upper.compare(upper.size() - 4, 4, ".TMP") != 0) {
    return false;
  }
  const std::string middle = upper.substr(cdx + 5, upper.size() - 4 - (cdx + 5));
  const size_t dash = middle.find('-');
  if (dash == std::string::npos) return false;
  return AllHex(middle.substr(0, dash)) && AllDigits(middle.substr(dash + 1));
}

}  // namespace ks::xbase
