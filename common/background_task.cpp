#include "common/background_task.h"

#include <system_error>
#include <utility>

namespace ks {

BackgroundTask::BackgroundTask(std::function<void()> work) : work_(std::move(work)) {
  try {
    thread_ = std::thread([this] { Perform(); });
  } catch (const std::system_error&) {
    Perform();
  }
}

BackgroundTask::~BackgroundTask() {
  if (thread_.joinable()) thread_.join();
}

void BackgroundTask::Perform() noexcept {
  try {
    work_();
  } catch (...) {
    failure_ = std::current_exception();
  }
}

void BackgroundTask::Wait() {
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace ks
