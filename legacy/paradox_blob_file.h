#pragma once
// The blob file (.MB) beside a Paradox data file: memos and binary values too long for the
// leader kept in the record. Each value is found through the 10-byte pointer of its field,
// either in a block of its own (type 2) or as one of up to 64 slots of a shared block
// (type 3). Every offset and length is checked against the file before it is used.
// Memos are read in about the order they lie in the file, a few bytes at a time, so the
// file is read in windows of many blocks and each value served from the window.

#include <cstdint>
#include <string>
#include <vector>

#include "common/file.h"

namespace ks {

// The pointer at the end of a blob field, decoded.
struct ParadoxBlobPointer {
  uint32_t offset = 0;  // of the block in the blob file; a multiple of 4096
  uint8_t index = 0;    // 0xFF: a block of its own; otherwise the slot of a shared block
  uint32_t length = 0;  // bytes of the value
  uint16_t modification = 0;
};

ParadoxBlobPointer DecodeParadoxBlobPointer(const uint8_t* pointer);

class ParadoxBlobFile {
 public:
  static constexpr uint32_t kBlockSize = 4096;

  // Opens and checks the file's header block. Throws ks::Exception with a short
  // description; the caller adds the table.
  void Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return file_.Path(); }

  // The value the pointer addresses. Throws ks::Exception when the pointer leads outside
  // the file or to a block or slot that does not hold a value of that length.
  std::string Read(const ParadoxBlobPointer& pointer) const;

 private:
  std::string ReadOwnBlock(const ParadoxBlobPointer& pointer) const;
  std::string ReadSlot(const ParadoxBlobPointer& pointer) const;
  void ReadExact(uint64_t offset, void* data, size_t size) const;
  // Reads exactly size bytes at offset straight from the file; a failed or short read fails.
  void ReadFromFile(uint64_t offset, void* data, size_t size) const;

  File file_;
  uint64_t size_ = 0;
  // The bytes read last, from window_base_ (a block boundary) on.
  mutable std::vector<uint8_t> window_;
  mutable uint64_t window_base_ = 0;
};

}  // namespace ks
