#pragma once
// Appended entries of one tag (key bytes, then the record number big-endian) kept apart
// from its sorted list until the index file is written. They gather in a buffer of bounded
// size; a full buffer is sorted once and goes to a temporary file as a sorted run, so the
// memory a tag takes does not grow with the table. Writing the index merges the runs in
// one pass, straight into the file's pages. The temporary file lives beside the index and
// is removed by Clear and by the destructor, whatever happened before.
//
// A full buffer is sorted and written out on a thread of its own while the next one
// gathers: at most one run is in the making, and it is awaited before anything else looks
// at the runs or the file. What that thread throws is thrown again by the call that
// awaits it (Add or Merge).

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
  // run stays in memory. The runs of all holders of one_at_a_time are made one after the
  // other, so that the memory a sort takes is needed once, not once per tag.
  void SetSpill(std::string path, size_t buffer_bytes, std::shared_ptr<std::mutex> one_at_a_time = nullptr);

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

  // Hands the full buffer to the spilling thread, which sorts it and writes it out as a
  // run (kept in memory when the file fails); the next buffer gathers meanwhile.
  void Spill();
  // Waits for the run in the making and adds it to the runs. Rethrows what the thread threw
  // unless told to drop it (Clear and the destructor drop every entry anyway).
  void FinishSpill(bool rethrow = true);
  // Writes a run held in memory to the end of the temporary file; false when it stays.
  // The run's bytes stay with it either way.
  bool ToFile(Run& run);
  // The entries, as a run in memory; data is left empty. Not for empty data.
  Run SortedRun(std::vector<uint8_t>& data) const;

  size_t entry_size_;
  size_t count_ = 0;
  size_t buffer_limit_ = 0;  // entries; 0: no limit
  std::string path_;
  File file_;
  uint64_t file_end_ = 0;
  std::vector<uint8_t> buffer_;  // unsorted newcomers
  std::vector<uint8_t> smallest_, largest_;
  std::vector<Run> runs_;

  // The spilling thread and what it works on; the owner touches neither while it runs,
  // nor the file.
  std::thread spiller_;
  std::vector<uint8_t> spilling_;  // the full buffer, given to the thread
  Run spilled_;                    // the thread's result
  std::exception_ptr spill_failure_;
  bool spill_pending_ = false;  // a run is in the making (on the thread, or made here)
  std::shared_ptr<std::mutex> one_at_a_time_;
};

}  // namespace ks::xbase
