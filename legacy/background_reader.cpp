#include "legacy/background_reader.h"

#include <system_error>
#include <utility>

namespace ks {

void BackgroundReader::Start(const File& file, uint64_t offset, size_t size) {
  Drop();
  if (!reader_.joinable()) {
    try {
      reader_ = std::thread([this] { Serve(); });
    } catch (const std::system_error&) {
      return;  // no thread to be had: the owner reads the window itself when it comes to it
    }
  }
  buffer_.resize(size);
  file_ = &file;
  offset_ = offset;
  size_ = size;
  {
    std::lock_guard<std::mutex> guard(lock_);
    asked_ = true;
  }
  changed_.notify_all();
}

void BackgroundReader::Serve() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    changed_.wait(guard, [this] { return asked_ || ending_; });
    if (!asked_) return;
    guard.unlock();
    got_ = file_->ReadAtUnhooked(offset_, buffer_.data(), size_);
    guard.lock();
    asked_ = false;
    changed_.notify_all();
  }
}

int64_t BackgroundReader::Take(std::vector<uint8_t>& into) {
  const File& file = *file_;
  Drop();
  into.swap(buffer_);
  into.resize(size_);
  // Failed on the thread: read again in order, where the failure is the owner's.
  if (got_ < 0) return file.ReadAt(offset_, into.data(), size_);
  return file.ClaimRead(offset_, size_, got_);
}

void BackgroundReader::Drop() {
  if (file_ == nullptr) return;
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [this] { return !asked_; });
  file_ = nullptr;
}

void BackgroundReader::Release() {
  Drop();
  if (reader_.joinable()) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      ending_ = true;
    }
    changed_.notify_all();
    reader_.join();
    ending_ = false;
  }
  std::vector<uint8_t>().swap(buffer_);
}

}  // namespace ks
