#include "db/engine/xbase/tail_buffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/thread_start.h"

namespace ks::xbase {

TailBuffer::~TailBuffer() {
  if (flight_thread_.joinable()) flight_thread_.join();
}

void TailBuffer::Reset(uint64_t base) {
  Land();
  unreported_.reset();
  base_ = base;
  written_back_ = base;
  data_.clear();
}

void TailBuffer::Append(const void* p, size_t n) {
  const char* c = static_cast<const char*>(p);
  data_.insert(data_.end(), c, c + n);
}

bool TailBuffer::Overwrite(uint64_t offset, const void* p, size_t n) {
  if (in_flight_ && offset < base_ && offset + n > flight_base_) Land();
  if (offset < base_ || offset + n > End()) return false;
  std::memcpy(data_.data() + (offset - base_), p, n);
  return true;
}

bool TailBuffer::Read(uint64_t offset, void* p, size_t n) const {
  if (offset < Base() || offset + n > End()) return false;
  char* out = static_cast<char*>(p);
  if (in_flight_ && offset < base_) {
    const size_t k = size_t(std::min<uint64_t>(n, base_ - offset));
    std::memcpy(out, flight_.data() + (offset - flight_base_), k);
    out += k;
    offset += k;
    n -= k;
  }
  if (n != 0) std::memcpy(out, data_.data() + (offset - base_), n);
  return true;
}

bool TailBuffer::WriteBehind(File& file, const void* trailer, size_t trailer_len) {
  Land();
  if (!ReportFailure()) return false;
  if (data_.empty()) return true;
  flight_base_ = base_;
  base_ += data_.size();
  flight_.swap(data_);  // the next piece gathers in the memory of the last
  const char* t = static_cast<const char*>(trailer);
  flight_.insert(flight_.end(), t, t + trailer_len);
  in_flight_ = true;
  StartOrDoHere(flight_thread_, [this, &file, end = base_] { Fly(file, end); });
  return true;
}

bool TailBuffer::WriteTo(File& file, const void* trailer, size_t trailer_len) {
  Land();
  if (!ReportFailure()) return false;
  if (data_.empty() && trailer_len == 0) return true;
  const size_t n = data_.size();
  data_.insert(data_.end(), static_cast<const char*>(trailer), static_cast<const char*>(trailer) + trailer_len);
  const bool ok = file.WriteAt(base_, data_.data(), data_.size());
  data_.resize(n);
  if (!ok) return false;
  base_ += n;
  data_.clear();
  if (base_ - written_back_ >= kWriteBackBytes) {
    if (!file.StartWriteBack(written_back_, base_ - written_back_)) return false;
    written_back_ = base_;
  }
  return true;
}

void TailBuffer::Fly(File& file, uint64_t end) {
  bool ok = file.WriteAt(flight_base_, flight_.data(), flight_.size());
  if (ok && end - written_back_ >= kWriteBackBytes) {
    ok = file.StartWriteBack(written_back_, end - written_back_);
    if (ok) written_back_ = end;
  }
  if (!ok) {
    const FileFailure* failure = LastFileFailure();
    flight_failure_ = failure ? *failure : FileFailure{FileOperation::kWrite, file.Path(), SystemErrorText()};
  }
}

void TailBuffer::Land() {
  if (!in_flight_) return;
  if (flight_thread_.joinable()) flight_thread_.join();
  in_flight_ = false;
  if (flight_failure_) {
    // The piece is held again, in front of what gathered since, to be written once more.
    flight_.resize(size_t(base_ - flight_base_));
    flight_.insert(flight_.end(), data_.begin(), data_.end());
    data_.swap(flight_);
    base_ = flight_base_;
    unreported_ = std::exchange(flight_failure_, std::nullopt);
  }
  flight_.clear();
}

bool TailBuffer::ReportFailure() {
  if (!unreported_) return true;
  SetLastFileFailure(*unreported_);
  unreported_.reset();
  return false;
}

}  // namespace ks::xbase
