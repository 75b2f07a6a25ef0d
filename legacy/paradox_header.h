#pragma once
// The header of a Paradox data file (.DB): the fixed part, the extension of version 4 and
// later, and the variable part with the field descriptors and names. Parsing checks every
// value a reader relies on, so that the blocks and records can be addressed safely later.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "legacy/paradox_values.h"

namespace ks {

struct ParadoxField {
  std::string name;  // in the table's code page (the table reader translates 866)
  ParadoxFieldType type = ParadoxFieldType::kAlpha;
  int size = 0;      // bytes in the record
  int offset = 0;    // from the start of the record
  int decimals = 0;  // BCD only
};

struct ParadoxHeader {
  int record_size = 0;
  int header_size = 0;
  int file_type = 0;  // 0 keyed, 2 unkeyed
  int block_size = 0;
  uint32_t record_count = 0;  // as the header states it
  int used_blocks = 0;
  int file_blocks = 0;
  int first_block = 0;
  int last_block = 0;
  int key_field_count = 0;
  int version = 0;    // the file version byte: 3 for 3.0 up to 12 for 7
  int code_page = 0;  // 0 when the header carries none (version 3.x)
  int sort_order_id = 0;  // the sort-order byte, which names the language driver
  uint32_t auto_increment = 0;
  std::string sort_order;  // language driver name, empty when absent
  std::vector<ParadoxField> fields;

  bool Keyed() const { return key_field_count > 0; }
  // Byte offset of data block number (1-based) in the file.
  uint64_t BlockOffset(int block) const {
    return static_cast<uint64_t>(header_size) + static_cast<uint64_t>(block - 1) * block_size;
  }
};

// Bytes of the fixed part; a file shorter than this is not a data file.
constexpr size_t kParadoxFixedHeaderSize = 0x58;

// Parses the header from the first bytes of a file (at least the fixed part; the whole
// header when the file has it). Throws ks::Exception with a short description of the
// first fault found; the caller adds the table and file.
ParadoxHeader ParseParadoxHeader(const uint8_t* data, size_t size);

}  // namespace ks
