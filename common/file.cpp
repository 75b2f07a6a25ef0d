// The parts of File that are the same on every system: the fault hook and moving.
#include "common/file.h"

#include <utility>

#include "common/file_fault_hook.h"

namespace ks {
namespace {

FileFaultHook& FaultHook() {
  static FileFaultHook hook;
  return hook;
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook) { FaultHook() = std::move(hook); }

int64_t AllowedByFaultHook(const std::string& path, bool is_write, uint64_t offset, size_t size) {
  const FileFaultHook& hook = FaultHook();
  if (!hook) return static_cast<int64_t>(size);
  return hook(path, is_write, offset, size);
}

File::~File() { Close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)),
      path_(std::move(other.path_)),
      locked_(std::move(other.locked_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    path_ = std::move(other.path_);
    locked_ = std::move(other.locked_);
  }
  return *this;
}

bool File::ReadExactAt(uint64_t offset, void* data, size_t size) const {
  return ReadAt(offset, data, size) == static_cast<int64_t>(size);
}

bool SyncFile(const std::string& path) {
  File file;
  return file.Open(path, File::Mode::kReadWrite) && file.Sync();
}

}  // namespace ks
