#include "legacy/read_ahead.h"

#include <system_error>
#include <utility>

namespace ks {

void ReadAhead::Start(const File& file, uint64_t offset, size_t size) {
  Drop();
  buffer_.resize(size);
  got_ = -1;
  try {
    reader_ = std::thread([this, &file, offset, size] { got_ = file.ReadAtUnhooked(offset, buffer_.data(), size); });
  } catch (const std::system_error&) {
    return;  // no thread to be had: the owner reads the window itself when it comes to it
  }
  file_ = &file;
  offset_ = offset;
  size_ = size;
}

void ReadAhead::Wait() {
  if (reader_.joinable()) reader_.join();
}

int64_t ReadAhead::Take(std::vector<uint8_t>& into) {
  Wait();
  const File& file = *std::exchange(file_, nullptr);
  into.swap(buffer_);
  into.resize(size_);
  // Failed on the thread: read again in order, where the failure is the owner's.
  if (got_ < 0) return file.ReadAt(offset_, into.data(), size_);
  return file.ClaimRead(offset_, size_, got_);
}

void ReadAhead::Drop() {
  Wait();
  file_ = nullptr;
}

void ReadAhead::Release() {
  Drop();
  std::vector<uint8_t>().swap(buffer_);
}

}  // namespace ks
