// The parts of File that are the same on every system: the fault hook and moving.
#include "common/file.h"

#include <memory>
#include <mutex>
#include <utility>

#include "common/file_fault_hook.h"

namespace ks {
namespace {

// The engine reads and writes on threads of its own too: the hook is set and consulted
// under a lock, and a call keeps the hook it started with.
struct FaultHookSlot {
  std::mutex lock;
  std::shared_ptr<const FileFaultHook> hook;
};

FaultHookSlot& FaultHook() {
  static FaultHookSlot slot;
  return slot;
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook) {
  auto shared = hook ? std::make_shared<const FileFaultHook>(std::move(hook)) : nullptr;
  FaultHookSlot& slot = FaultHook();
  std::lock_guard<std::mutex> guard(slot.lock);
  slot.hook = std::move(shared);
}

int64_t AllowedByFaultHook(const std::string& path, bool is_write, uint64_t offset, size_t size) {
  FaultHookSlot& slot = FaultHook();
  std::shared_ptr<const FileFaultHook> hook;
  {
    std::lock_guard<std::mutex> guard(slot.lock);
    hook = slot.hook;
  }
  if (!hook) return static_cast<int64_t>(size);
  return (*hook)(path, is_write, offset, size);
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
