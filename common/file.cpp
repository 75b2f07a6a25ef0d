// The parts of File that are the same on every system: the fault hooks, the record of the
// last failure and moving.
#include "common/file.h"

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "common/codepage.h"
#include "common/file_fault_hook.h"

namespace ks {
namespace {

// The engine reads and writes on threads of its own too: a hook is set and consulted under
// a lock, and a call keeps the hook it started with.
template <typename Hook>
class HookSlot {
 public:
  void Set(Hook hook) {
    auto shared = hook ? std::make_shared<const Hook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    hook_ = std::move(shared);
  }
  std::shared_ptr<const Hook> Get() {
    std::lock_guard<std::mutex> guard(lock_);
    return hook_;
  }

 private:
  std::mutex lock_;
  std::shared_ptr<const Hook> hook_;
};

HookSlot<FileFaultHook>& FaultHook() {
  static HookSlot<FileFaultHook> slot;
  return slot;
}

HookSlot<FileOperationHook>& OperationHook() {
  static HookSlot<FileOperationHook> slot;
  return slot;
}

std::optional<FileFailure>& LastFailure() {
  thread_local std::optional<FileFailure> failure;
  return failure;
}

}  // namespace

void SetFileFaultHook(FileFaultHook hook) { FaultHook().Set(std::move(hook)); }

void SetFileOperationHook(FileOperationHook hook) { OperationHook().Set(std::move(hook)); }

bool RefusedByFaultHook(FileOperation operation, const std::string& path) {
  const std::shared_ptr<const FileOperationHook> hook = OperationHook().Get();
  if (!hook || (*hook)(operation, path)) return false;
  RecordIoError();
  return !FileOperationFailed(operation, path);
}

const char* FileOperationName(FileOperation operation) {
  switch (operation) {
    case FileOperation::kOpen: return "open";
    case FileOperation::kCreate: return "create";
    case FileOperation::kRead: return "read";
    case FileOperation::kWrite: return "write";
    case FileOperation::kFlush: return "flush";
    case FileOperation::kTruncate: return "truncate";
    case FileOperation::kRemove: return "remove";
    case FileOperation::kMakeDirectory: return "mkdir";
    case FileOperation::kListDirectory: return "list";
    case FileOperation::kLock: return "lock";
  }
  return "?";
}

bool FileOperationFailed(FileOperation operation, const std::string& path) {
  LastFailure() = FileFailure{operation, path, SystemErrorText()};
  return false;
}

const FileFailure* LastFileFailure() {
  const std::optional<FileFailure>& failure = LastFailure();
  return failure ? &*failure : nullptr;
}

void ForgetFileFailure() { LastFailure().reset(); }

std::string DescribeFileFailure(const FileFailure& failure) {
  const char* what = "";
  switch (failure.operation) {
    case FileOperation::kOpen: what = "Не удалось открыть файл "; break;
    case FileOperation::kCreate: what = "Не удалось создать файл "; break;
    case FileOperation::kRead: what = "Не удалось прочитать файл "; break;
    case FileOperation::kWrite: what = "Не удалось записать файл "; break;
    case FileOperation::kFlush:
      what = KindOfPath(failure.path) == PathKind::kDirectory ? "Не удалось сохранить на диске каталог "
                                                              : "Не удалось сохранить на диске файл ";
      break;
    case FileOperation::kTruncate: what = "Не удалось изменить размер файла "; break;
    case FileOperation::kRemove: what = "Не удалось удалить файл "; break;
    case FileOperation::kMakeDirectory: what = "Не могу создать каталог "; break;
    case FileOperation::kListDirectory: what = "Не удалось прочитать каталог "; break;
    case FileOperation::kLock: what = "Не удалось заблокировать файл "; break;
  }
  return W(what) + failure.path + ": " + failure.reason;
}

int64_t AllowedByFaultHook(const std::string& path, bool is_write, uint64_t offset, size_t size) {
  const std::shared_ptr<const FileFaultHook> hook = FaultHook().Get();
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
