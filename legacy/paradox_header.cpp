#include "legacy/paradox_header.h"

#include <cstring>

#include "common/byte_order.h"
#include "common/codepage.h"
#include "common/exception.h"

namespace ks {
namespace {

[[noreturn]] void Fail(const std::string& utf8_detail) { throw Exception(W(utf8_detail)); }

// The storage size of a field as the descriptor gives it, or 0 when the pair is invalid.
int StorageSize(ParadoxFieldType type, int declared) {
  switch (type) {
    case ParadoxFieldType::kAlpha:
    case ParadoxFieldType::kBytes:
      return declared >= 1 ? declared : 0;
    case ParadoxFieldType::kShort:
      return declared == 2 ? 2 : 0;
    case ParadoxFieldType::kDate:
    case ParadoxFieldType::kLong:
    case ParadoxFieldType::kTime:
    case ParadoxFieldType::kAutoInc:
      return declared == 4 ? 4 : 0;
    case ParadoxFieldType::kMoney:
    case ParadoxFieldType::kNumber:
    case ParadoxFieldType::kTimestamp:
      return declared == 8 ? 8 : 0;
    case ParadoxFieldType::kLogical:
      return declared == 1 ? 1 : 0;
    case ParadoxFieldType::kBcd:
      return declared <= 32 ? kParadoxBcdSize : 0;
    default:  // blobs: a leader (possibly empty) and the pointer
      return declared >= kParadoxBlobPointerSize ? declared : 0;
  }
}

// Reads bounded NUL-terminated strings from the variable part.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}
  void Skip(size_t n, const char* what) {
    if (n > size_ - pos_) Fail(std::string("заголовок обрывается на ") + what);
    pos_ += n;
  }
  const uint8_t* Take(size_t n, const char* what) {
    const uint8_t* p = data_ + pos_;
    Skip(n, what);
    return p;
  }
  size_t Remaining() const { return size_ - pos_; }
  bool TryString(std::string& out) {
    if (pos_ >= size_) return false;
    const void* nul = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!nul) return false;
    const size_t length = static_cast<const uint8_t*>(nul) - (data_ + pos_);
    out.assign(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length + 1;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_;
};

}  // namespace

ParadoxHeader ParseParadoxHeader(const uint8_t* data, size_t size) {
  if (size < kParadoxFixedHeaderSize) Fail("файл короче заголовка таблицы");
  ParadoxHeader h;
  h.record_size = GetLe16(data + 0x00);
  h.header_size = GetLe16(data + 0x02);
  h.file_type = data[0x04];
  const int block_kib = data[0x05];
  h.record_count = GetLe32(data + 0x06);
  h.used_blocks = GetLe16(data + 0x0A);
  h.file_blocks = GetLe16(data + 0x0C);
  h.first_block = GetLe16(data + 0x0E);
  h.last_block = GetLe16(data + 0x10);
  const int field_count = GetLe16(data + 0x21);
  h.key_field_count = GetLe16(data + 0x23);
  h.sort_order_id = data[0x29];
  h.version = data[0x39];
  h.auto_increment = GetLe32(data + 0x49);

  if (h.file_type != 0 && h.file_type != 2) {
    Fail("это не файл данных таблицы (тип файла " + std::to_string(h.file_type) + ")");
  }
  if (h.version < 3 || h.version > 12) Fail("неизвестная версия файла " + std::to_string(h.version));
  if (block_kib < 1 || block_kib > 32) Fail("недопустимый размер блока " + std::to_string(block_kib) + " КБ");
  h.block_size = block_kib * 1024;
  const bool extended = h.version >= 5;
  const size_t variable_start = extended ? 0x78 : 0x58;
  if (h.header_size < static_cast<int>(variable_start)) {
    Fail("недопустимый размер заголовка " + std::to_string(h.header_size));
  }
  if (size < static_cast<size_t>(h.header_size)) Fail("файл короче заголовка таблицы");
  size = static_cast<size_t>(h.header_size);  // nothing past the header belongs to it
  if (h.record_size < 1 || h.record_size > h.block_size - 6) {
    Fail("недопустимая длина записи " + std::to_string(h.record_size));
  }
  if (field_count < 1) Fail("в таблице нет полей");
  if (h.key_field_count > field_count) Fail("ключ длиннее списка полей");
  if (h.first_block > h.file_blocks || h.last_block > h.file_blocks) Fail("ссылка на блок за пределами файла");

  const uint32_t encryption = extended ? GetLe32(data + 0x5C) : GetLe32(data + 0x25);
  if (encryption != 0) Fail("таблица зашифрована");
  if (extended) h.code_page = GetLe16(data + 0x6A);

  Cursor cursor(data, size, variable_start);
  const uint8_t* descriptors = cursor.Take(static_cast<size_t>(field_count) * 2, "описаниях полей");
  int offset = 0;
  h.fields.resize(field_count);
  for (int i = 0; i < field_count; ++i) {
    const uint8_t code = descriptors[2 * i];
    const int declared = descriptors[2 * i + 1];
    if (!IsKnownParadoxType(code)) {
      Fail("поле " + std::to_string(i + 1) + " неизвестного типа " + std::to_string(code));
    }
    ParadoxField& field = h.fields[i];
    field.type = static_cast<ParadoxFieldType>(code);
    field.size = StorageSize(field.type, declared);
    if (field.size == 0) {
      Fail("поле " + std::to_string(i + 1) + " типа " + ParadoxTypeLetter(code) + " с недопустимым размером " +
           std::to_string(declared));
    }
    if (field.type == ParadoxFieldType::kBcd) field.decimals = declared;
    field.offset = offset;
    offset += field.size;
  }
  if (offset != h.record_size) Fail("сумма размеров полей не равна длине записи");

  cursor.Skip(4, "имени таблицы");
  cursor.Skip(static_cast<size_t>(field_count) * 4, "именах полей");
  cursor.Skip(h.version >= 12 ? 261 : 79, "имени таблицы");
  for (ParadoxField& field : h.fields) {
    if (!cursor.TryString(field.name)) Fail("заголовок обрывается на именах полей");
  }
  if (extended) {
    // Field numbers, then the language driver name; a reader needs neither.
    const size_t numbers = static_cast<size_t>(field_count) * 2;
    if (cursor.Remaining() > numbers) {
      cursor.Skip(numbers, "номерах полей");
      std::string sort_order;
      if (cursor.TryString(sort_order)) h.sort_order = sort_order;
    }
  }
  return h;
}

}  // namespace ks
