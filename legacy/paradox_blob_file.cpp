#include "legacy/paradox_blob_file.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "common/codepage.h"
#include "common/exception.h"
#include "common/platform.h"

namespace ks {
namespace {

[[noreturn]] void Fail(const std::string& utf8_detail) { throw Exception(W(utf8_detail)); }

constexpr uint8_t kHeaderBlock = 0;
constexpr uint8_t kOwnBlock = 2;
constexpr uint8_t kSharedBlock = 3;
constexpr uint8_t kOwnBlockIndex = 0xFF;
constexpr int kSlotsPerBlock = 64;
constexpr uint32_t kSlotTable = 12;  // slot i's entry is at 12 + 5 * i
constexpr uint32_t kOwnBlockData = 9;  // type, size, length, modification number
// Bytes read in one go: many memos' worth, few system calls for a whole archive.
constexpr size_t kWindowBytes = 256 << 10;

}  // namespace

ParadoxBlobPointer DecodeParadoxBlobPointer(const uint8_t* pointer) {
  ParadoxBlobPointer result;
  const uint32_t location = GetLe32(pointer);
  result.index = static_cast<uint8_t>(location & 0xFF);
  result.offset = location & ~uint32_t{0xFF};
  result.length = GetLe32(pointer + 4);
  result.modification = GetLe16(pointer + 8);
  return result;
}

void ParadoxBlobFile::Open(const std::string& path) {
  if (!file_.Open(path, File::Mode::kReadOnly)) {
    Fail(std::string("не открывается файл примечаний: ") + Cp1251ToUtf8(SystemErrorText()));
  }
  const int64_t size = file_.Size();
  if (size < 0) Fail("не читается размер файла примечаний: " + Cp1251ToUtf8(SystemErrorText()));
  size_ = static_cast<uint64_t>(size);
  uint8_t head[3];
  if (size_ < kBlockSize) Fail("файл примечаний короче заголовка");
  ReadFromFile(0, head, sizeof head);
  if (head[0] != kHeaderBlock) Fail("файл примечаний без заголовка");
}

void ParadoxBlobFile::Close() {
  file_.Close();
  size_ = 0;
  window_.clear();
  window_.shrink_to_fit();
  window_base_ = 0;
}

void ParadoxBlobFile::ReadFromFile(uint64_t offset, void* data, size_t size) const {
  const int64_t got = file_.ReadAt(offset, data, size);
  if (got < 0) Fail("ошибка чтения файла примечаний: " + Cp1251ToUtf8(SystemErrorText()));
  if (got < static_cast<int64_t>(size)) Fail("файл примечаний обрывается");
}

void ParadoxBlobFile::ReadExact(uint64_t offset, void* data, size_t size) const {
  if (offset > size_ || size > size_ - offset) Fail("ссылка на примечание за пределами файла примечаний");
  if (offset >= window_base_ && offset + size <= window_base_ + window_.size()) {
    std::memcpy(data, window_.data() + (offset - window_base_), size);
    return;
  }
  if (size > kWindowBytes) {
    ReadFromFile(offset, data, size);
    return;
  }
  // From the block holding offset on: the request lies inside however it is placed.
  const uint64_t base = offset - offset % kBlockSize;
  window_.resize(static_cast<size_t>(std::min<uint64_t>(kWindowBytes + kBlockSize, size_ - base)));
  window_base_ = base;
  try {
    ReadFromFile(base, window_.data(), window_.size());
  } catch (...) {
    window_.clear();
    throw;
  }
  std::memcpy(data, window_.data() + (offset - base), size);
}

std::string ParadoxBlobFile::Read(const ParadoxBlobPointer& pointer) const {
  if (!IsOpen()) Fail("нет файла примечаний");
  if (pointer.length == 0) return {};
  if (pointer.offset < kBlockSize || pointer.offset % kBlockSize != 0 || pointer.offset >= size_) {
    Fail("ссылка на примечание за пределами файла примечаний");
  }
  return pointer.index == kOwnBlockIndex ? ReadOwnBlock(pointer) : ReadSlot(pointer);
}

std::string ParadoxBlobFile::ReadOwnBlock(const ParadoxBlobPointer& pointer) const {
  uint8_t head[kOwnBlockData];
  ReadExact(pointer.offset, head, sizeof head);
  if (head[0] != kOwnBlock) Fail("ссылка на примечание указывает на блок другого типа");
  const uint64_t block_bytes = uint64_t{GetLe16(head + 1)} * kBlockSize;
  const uint32_t length = GetLe32(head + 3);
  if (length != pointer.length) Fail("длина примечания в блоке не совпадает со ссылкой");
  if (kOwnBlockData + uint64_t{length} > block_bytes) Fail("примечание длиннее своего блока");
  std::string value(length, '\0');
  ReadExact(pointer.offset + kOwnBlockData, value.data(), length);
  return value;
}

std::string ParadoxBlobFile::ReadSlot(const ParadoxBlobPointer& pointer) const {
  if (pointer.index >= kSlotsPerBlock) Fail("недопустимый номер ячейки примечания");
  uint8_t type = 0;
  ReadExact(pointer.offset, &type, 1);
  if (type != kSharedBlock) Fail("ссылка на примечание указывает на блок другого типа");
  uint8_t entry[5];
  ReadExact(pointer.offset + kSlotTable + 5u * pointer.index, entry, sizeof entry);
  const uint32_t data_offset = uint32_t{entry[0]} * 16;
  const uint32_t chunks = entry[1];
  const uint32_t last = entry[4];
  if (data_offset == 0 || chunks == 0 || last == 0 || last > 16) Fail("ячейка примечания пуста");
  const uint32_t length = (chunks - 1) * 16 + last;
  if (length != pointer.length) Fail("длина примечания в ячейке не совпадает со ссылкой");
  if (data_offset < kSlotTable + 5u * kSlotsPerBlock || data_offset + length > kBlockSize) {
    Fail("ячейка примечания выходит за пределы блока");
  }
  std::string value(length, '\0');
  ReadExact(uint64_t{pointer.offset} + data_offset, value.data(), length);
  return value;
}

}  // namespace ks
