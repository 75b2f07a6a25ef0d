#include "db/engine/xbase/key_runs.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "db/engine/xbase/key_list.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ks::xbase {

namespace {
constexpr size_t kReadBytes = 128 << 10;  // read-ahead of one source while merging
}

// A stretch of runs that follow each other in order (each one starts above the last entry
// of the one before, as keys that grow with the record number do), read one after the
// other. A run on file is read in pieces of kReadBytes.
class KeyRuns::Source {
 public:
  Source(const File& file, size_t entry_size) : file_(file), entry_size_(entry_size) {}

  void AddRun(const Run* run) { runs_.push_back(run); }
  const uint8_t* LastEntry() const { return runs_.back()->last.data(); }

  // Stands on the first entry; false when a read failed.
  bool Start() { return Load(0); }
  bool AtEnd() const { return run_ >= runs_.size(); }
  const uint8_t* Current() const { return at_; }
  bool Advance() {
    ++index_;
    if (index_ < runs_[run_]->count) {
      at_ += entry_size_;
      if (at_ < piece_end_) return true;
      return Read();
    }
    return Load(run_ + 1);
  }

 private:
  bool Load(size_t run) {
    run_ = run;
    index_ = 0;
    if (AtEnd()) return true;
    if (!runs_[run]->data.empty()) {
      at_ = runs_[run]->data.data();
      piece_end_ = at_ + runs_[run]->count * entry_size_;
      return true;
    }
    return Read();
  }
  // The piece of a file run that starts at entry index_.
  bool Read() {
    const Run& run = *runs_[run_];
    const size_t per_piece = std::max<size_t>(1, kReadBytes / entry_size_);
    const size_t n = std::min(per_piece, run.count - index_);
    piece_.resize(n * entry_size_);
    if (!file_.ReadExactAt(run.offset + uint64_t(index_) * entry_size_, piece_.data(), piece_.size())) return false;
    at_ = piece_.data();
    piece_end_ = at_ + piece_.size();
    return true;
  }

  const File& file_;
  size_t entry_size_;
  std::vector<const Run*> runs_;
  size_t run_ = 0;
  size_t index_ = 0;  // within the current run
  const uint8_t* at_ = nullptr;
  const uint8_t* piece_end_ = nullptr;
  std::vector<uint8_t> piece_;
};

KeyRuns::KeyRuns(size_t entry_size) : entry_size_(entry_size) {}

KeyRuns::~KeyRuns() {
  FinishSpill(false);
  Clear();
}

void KeyRuns::SetSpill(std::string path, size_t buffer_bytes, std::shared_ptr<std::mutex> one_at_a_time) {
  path_ = std::move(path);
  one_at_a_time_ = std::move(one_at_a_time);
  buffer_limit_ = std::max<size_t>(1, buffer_bytes / entry_size_);
}

void KeyRuns::Add(const uint8_t* entry) {
  if (buffer_.empty() && buffer_limit_ != 0) buffer_.reserve(buffer_limit_ * entry_size_);
  buffer_.insert(buffer_.end(), entry, entry + entry_size_);
  if (count_ == 0) {
    smallest_.assign(entry, entry + entry_size_);
    largest_ = smallest_;
  } else if (KeyList::Compare(entry, largest_.data(), entry_size_) > 0) {
    std::memcpy(largest_.data(), entry, entry_size_);
  } else if (KeyList::Compare(entry, smallest_.data(), entry_size_) < 0) {
    std::memcpy(smallest_.data(), entry, entry_size_);
  }
  ++count_;
  if (buffer_limit_ != 0 && buffer_.size() >= buffer_limit_ * entry_size_) Spill();
}

KeyRuns::Run KeyRuns::SortedRun(std::vector<uint8_t>& data) const {
  const size_t n = data.size() / entry_size_;
  // Keys that grow with the record number arrive sorted already.
  bool in_order = true;
  for (size_t i = 1; i < n && in_order; ++i) {
    in_order = KeyList::Compare(&data[(i - 1) * entry_size_], &data[i * entry_size_], entry_size_) < 0;
  }
  Run run;
  run.count = n;
  if (in_order) {
    run.data.swap(data);
  } else {
    std::vector<uint32_t> order;
    KeyList::SortedOrder(data.data(), n, entry_size_, order);
    run.data.resize(data.size());
    for (size_t i = 0; i < n; ++i) {
      std::memcpy(run.data.data() + i * entry_size_, data.data() + size_t(order[i]) * entry_size_, entry_size_);
    }
    data.clear();
  }
  run.first.assign(run.data.begin(), run.data.begin() + entry_size_);
  run.last.assign(run.data.end() - entry_size_, run.data.end());
  return run;
}

bool KeyRuns::ToFile(Run& run) {
  if (path_.empty()) return false;
  if (!file_.IsOpen() && !file_.Open(path_, File::Mode::kCreate)) return false;
  if (!file_.WriteAt(file_end_, run.data.data(), run.data.size())) return false;
  run.offset = file_end_;
  file_end_ += run.data.size();
  return true;
}

void KeyRuns::Spill() {
  if (buffer_.empty()) return;
  FinishSpill();
  spilling_.swap(buffer_);  // the buffer gathers on in the memory the last spill gave back
  spill_pending_ = true;
  auto work = [this] {
    try {
      std::unique_lock<std::mutex> turn;
      if (one_at_a_time_) turn = std::unique_lock<std::mutex>(*one_at_a_time_);
      spilled_ = SortedRun(spilling_);
      if (ToFile(spilled_)) {
        // Its bytes are on file: the memory serves the next buffer.
        spilling_ = std::move(spilled_.data);
        spilling_.clear();
        std::vector<uint8_t>().swap(spilled_.data);
      }  // else nothing is lost: the run stays in memory
#ifdef __GLIBC__
      // The sort's scratch memory goes back to the system now: a thread allocates from an
      // arena of its own, which would otherwise keep it after the thread is gone.
      malloc_trim(0);
#endif
    } catch (...) {
      spill_failure_ = std::current_exception();
    }
  };
  try {
    spiller_ = std::thread(work);
  } catch (const std::system_error&) {
    work();  // no thread to be had: the run is made here
  }
}

void KeyRuns::FinishSpill(bool rethrow) {
  if (!spill_pending_) return;
  if (spiller_.joinable()) spiller_.join();
  spill_pending_ = false;
  if (spill_failure_) {
    std::exception_ptr failure = std::exchange(spill_failure_, nullptr);
    spilled_ = Run();
    if (rethrow) std::rethrow_exception(failure);
    return;
  }
  runs_.push_back(std::move(spilled_));
  spilled_ = Run();
}

int KeyRuns::Merge(const std::function<int(const uint8_t*)>& visit) {
  FinishSpill();
  std::vector<uint8_t>().swap(spilling_);
  // A run left in memory by an earlier merge goes to the file now, so that no more than
  // one buffer's worth stays in memory however often the index is written.
  for (Run& run : runs_) {
    if (!run.data.empty() && ToFile(run)) std::vector<uint8_t>().swap(run.data);
  }
  if (!buffer_.empty()) {
    // What gathered since the last full buffer joins as one more run, in memory.
    runs_.push_back(SortedRun(buffer_));
    std::vector<uint8_t>().swap(buffer_);
  }
  std::vector<std::unique_ptr<Source>> sources;
  for (const Run& run : runs_) {
    if (sources.empty() || KeyList::Compare(run.first.data(), sources.back()->LastEntry(), entry_size_) <= 0) {
      sources.push_back(std::make_unique<Source>(file_, entry_size_));
    }
    sources.back()->AddRun(&run);
  }
  for (auto& source : sources) {
    if (!source->Start()) return -1;
  }
  if (sources.size() == 1) {
    Source& only = *sources.front();
    for (; !only.AtEnd(); ) {
      if (const int rc = visit(only.Current()); rc != 0) return rc;
      if (!only.Advance()) return -1;
    }
    return 0;
  }
  // A binary heap of the sources by their current entry, smallest on top.
  std::vector<Source*> heap;
  for (auto& source : sources) heap.push_back(source.get());
  const size_t size = entry_size_;
  auto below = [size](const Source* a, const Source* b) { return KeyList::Compare(a->Current(), b->Current(), size) < 0; };
  auto sift_down = [&](size_t i) {
    const size_t n = heap.size();
    for (;;) {
      size_t smallest = i;
      const size_t l = 2 * i + 1, r = l + 1;
      if (l < n && below(heap[l], heap[smallest])) smallest = l;
      if (r < n && below(heap[r], heap[smallest])) smallest = r;
      if (smallest == i) return;
      std::swap(heap[i], heap[smallest]);
      i = smallest;
    }
  };
  for (size_t i = heap.size() / 2; i-- > 0;) sift_down(i);
  while (!heap.empty()) {
    Source* top = heap.front();
    if (const int rc = visit(top->Current()); rc != 0) return rc;
    if (!top->Advance()) return -1;
    if (top->AtEnd()) {
      heap.front() = heap.back();
      heap.pop_back();
    }
    if (!heap.empty()) sift_down(0);
  }
  return 0;
}

void KeyRuns::Clear() {
  FinishSpill(false);  // its entries go with the rest
  spilling_.clear();
  spilling_.shrink_to_fit();
  buffer_.clear();
  buffer_.shrink_to_fit();
  runs_.clear();
  count_ = 0;
  file_end_ = 0;
  if (file_.IsOpen()) {
    file_.Close();
    RemoveFile(path_);
  }
}

}  // namespace ks::xbase
