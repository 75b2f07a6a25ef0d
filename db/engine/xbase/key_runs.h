#pragma once
// Appended entries of one tag (key bytes, then the record number big-endian) kept apart
// from its sorted list until the index file is written. They gather in a buffer of bounded
// size; a full buffer is sorted once and goes to a temporary file as a sorted run, so the
// memory a tag takes does not grow with the table. Writing the index merges the runs in
// one pass, straight into the file's pages. The temporary file lives beside the index and
// is removed by Clear and by the destructor, whatever happened before.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/file.h"

namespace ks::xbase {

class KeyRuns {
 public:
  explicit KeyRuns(size_t entry_size);
  ~KeyRuns();
  KeyRuns(const KeyRuns&) = delete;
  KeyRuns& operator=(const KeyRuns&) = delete;

  // Where full buffers go and how many bytes the buffer may hold. Without a path every
  // run stays in memory.
  void SetSpill(std::string path, size_t buffer_bytes);

  size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  void Add(const uint8_t* entry);
  // The smallest and the largest entry; null when empty.
  const uint8_t* Smallest() const { return count_ ? smallest_.data() : nullptr; }
  const uint8_t* Largest() const { return count_ ? largest_.data() : nullptr; }
  // Calls visit for every entry in order; stops at the first non-zero result of visit and
  // returns it. A run that cannot be read back gives -1.
  int Merge(const std::function<int(const uint8_t*)>& visit);
  // Drops every entry and removes the temporary file.
  void Clear();

 private:
  struct Run {
    uint64_t offset = 0;              // in the temporary file, when data is empty
    size_t count = 0;
    std::vector<uint8_t> data;        // a run kept in memory (the file could not take it)
    std::vector<uint8_t> first, last; // its smallest and largest entry
  };
  class Source;

  // Sorts the buffer and writes it out as a run (kept in memory when the file fails).
  void Spill();
  // Moves a run held in memory to the end of the temporary file; false when it stays.
  bool ToFile(Run& run);
  // The buffer, sorted in place.
  void SortBuffer();
  // The buffer, sorted, as a run in memory; the buffer is left empty. Not for an empty buffer.
  Run SortedRunOfBuffer();

  size_t entry_size_;
  size_t count_ = 0;
  size_t buffer_limit_ = 0;  // entries; 0: no limit
  std::string path_;
  File file_;
  uint64_t file_end_ = 0;
  std::vector<uint8_t> buffer_;  // unsorted newcomers
  std::vector<uint8_t> smallest_, largest_;
  std::vector<Run> runs_;
};

}  // namespace ks::xbase
